#include "app/ControlTable.h"

namespace {
constexpr auto Button = ControlKind::Button;
constexpr auto Label = ControlKind::Label;
constexpr auto Frame = ControlKind::Frame;
constexpr auto TextBox = ControlKind::TextBox;
constexpr auto List = ControlKind::List;
} // namespace

// clang-format off
const std::array<ControlRow, 35> controlTable{{
//   name            kind                                  container caption                          left   top  width height tab  font   readOnly  tooltip
    {"Text5",        TextBox,                              "",       u"100",                          4080, 2760,  1575,  270, 29, false, false},
    // Never a widget (the Save dialog is a function core is given); the table lists all 35 controls.
    {"CommonDialog1", ControlKind::FileDialogComponent,    "",       u"",                                0,    0,     0,    0, -1, false, false},
    {"Command8",     Button,                               "",       u"另存为/Save to file",          2400, 3120,  1575,  495, 28, false, false},
    {"RichTextBox1", ControlKind::LogView,                 "",       u"",                              360, 4920, 11895, 3495, 27, false, false},
    {"Combo5",       List,                                 "",       u"",                              360, 1080,  1215,  300, 25, false, false},
    {"Command7",     Button,                               "",       u"停止发送/Stop",                  360, 3120,  1695,  495, 24, false, false, "Stops the repeated sending after the current cycle"},
    {"Command6",     Button,                               "",       u"自动发送/Continue send",        2400, 2520,  1575,  495, 23, false, false, "Sends the command again and again, one interval apart, until Stop"},
    {"Frame2",       Frame,                                "",       u"设置协议",                      8040, 2160,  4215, 1575, 12, false, false, "Set protocol"},
    {"Combo4",       List,                                 "Frame2", u"",                              240,  720,  1695,  300, 18, false, false},
    {"Command5",     Button,                               "Frame2", u"设置/Set",                     2760,  960,  1095,  495, 14, false, false, "Writes the protocol command built from this frame into the command box and sends it"},
    {"Label8",       Label,                                "Frame2", u"通讯协议（需安装配置跳线）",     240,  480,  2415,  255, 22, false, false, "Protocol (needs the configuration jumper fitted)"},
    {"Frame1",       Frame,                                "",       u"设置配置",                      8040,  120,  4215, 1935, 11, false, false, "Set configuration: address, module baud rate, data format"},
    {"Combo3",       List,                                 "Frame1", u"",                             1800,  720,  1695,  300, 17, false, false},
    {"Combo2",       List,                                 "Frame1", u"",                              240, 1440,  1455,  300, 16, false, false},
    {"Text4",        TextBox,                              "Frame1", u"01",                            240,  720,   735,  270, 15, false, false},
    {"Command4",     Button,                               "Frame1", u"设置/Set",                     2760, 1320,  1095,  495, 13, false, false, "Writes the configuration command built from this frame into the command box and sends it"},
    {"Label7",       Label,                                "Frame1", u"数据格式",                     1800,  480,   735,  375, 21, false, false, "Data format"},
    {"Label6",       Label,                                "Frame1", u"波特率（需安装配置跳线）",       240, 1200,  2295,  255, 20, false, false, "Module baud rate (needs the configuration jumper fitted)"},
    {"Label5",       Label,                                "Frame1", u"模块地址/ID",                   240,  480,  1215,  255, 19, false, false, "Module address: two hex digits"},
    {"Combo1",       List,                                 "",       u"",                              360,  480,  1215,  300,  7, false, false},
    {"Text3",        TextBox,                              "",       u"刚输入的命令",                  3600, 1920,  2415,  495,  6, true,  true, "The command as it last went out (until then: \"the command just entered\")"},
    {"Text2",        TextBox,                              "",       u"#01",                           360, 1920,  2535,  495,  5, true,  false},
    {"Text1",        ControlKind::MultiLineTextBox,        "",       u"",                              360, 3960, 11895,  855,  3, true,  true},
    {"Command3",     Button,                               "",       u"发送命令/Send",                  360, 2520,  1695,  495,  2, false, false},
    {"Command2",     Button,                               "",       u"关闭串口/Close",                4200,  240,  1455,  495,  1, false, false},
    {"Command1",     Button,                               "",       u"打开串口/Open",                 2640,  240,  1455,  495,  0, false, false},
    // Never a widget (PlatformSerialPort is the port); the table lists all 35 controls.
    {"MSComm1",      ControlKind::SerialComponent,         "",       u"",                                0,    0,     0,    0, -1, false, false},
    {"Label11",      Label,                                "",       u"mS",                           5760, 2760,   495,  255, 31, false, false, "The interval's unit as labelled; the countdown takes 16 per 1 ms pass, see the README"},
    {"Label10",      Label,                                "",       u"时间间隔",                      4080, 2520,   735,  255, 30, false, false, "Time interval"},
    {"Label9",       Label,                                "",       u"波特率选择/Baud",                360,  840,  1575,  255, 26, false, false, "The line's rate, applied at the next send"},
    {"Label4",       Label,                                "",       u"刚输入的命令/Has sent",         3600, 1680,  2415,  255, 10, false, false, "The command as it last went out"},
    {"Label3",       Label,                                "",       u"在这里输入字符命令/Command",     360, 1680,  2535,  255,  9, false, false},
    {"Label2",       Label,                                "",       u"串口选择/COM",                   360,  240,  1335,  255,  8, false, false},
    {"Shape1",       ControlKind::Lamp,                    "",       u"",                             1920,  360,   495,  375, -1, false, false},
    {"Label1",       Label,                                "",       u"接收到的数据/Response",          360, 3720,  2175,  255,  4, false, false},
}};
// clang-format on
