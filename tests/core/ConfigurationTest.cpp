#include "CoreFixture.h"

namespace {

using List = WindowControls::List;
using ConfigurationTest = CoreTest;

struct Pick
{
    const char16_t *baud, *format, *address;
    const char *command;
};

TEST_F(ConfigurationTest, SetBuildsTheConfigurationCommandAndSendsIt)
{
    const Pick picks[] = {
        {u"9600", u"工程单位", u"01", "%0001000600"},
        {u"115200", u"16进制的补码", u"05", "%0005000A02"},
        {u"9600", u"工程单位", u"", "%00000600"},
        {u"300", u"满刻度的百分比", u"7", "%007000101"},
        {u"57600", u"工程单位", u"zz 1", "%00zz 1000900"},
        {u"19200", u"16进制的补码", u"1F", "%001F000702"},
    };
    for (const Pick &pick : picks) {
        SCOPED_TRACE(pick.command);
        window.lists[List::ModuleBaud] = QString::fromUtf16(pick.baud);
        window.lists[List::Format] = QString::fromUtf16(pick.format);
        window.address = QString::fromUtf16(pick.address);
        ops.SelectBaudCode();
        ops.SelectFormatCode();
        port.written.clear();
        ops.SetConfiguration();
        // Sent as any command is (the send's own tests), and left in the box for Send and repeat.
        EXPECT_EQ(port.written, QByteArray(pick.command) + '\r');
        EXPECT_EQ(window.command, QString::fromLatin1(pick.command));
    }
}

// The module's rate codes run from 01 for 300 baud to 0A for 115200, one for each listed rate.
TEST_F(ConfigurationTest, EachRateHasTheModulesCode)
{
    const char16_t *rates[] = {u"300",  u"600",   u"1200",  u"2400",  u"4800",
                               u"9600", u"19200", u"38400", u"57600", u"115200"};
    for (int i = 0; i < 10; ++i) {
        window.lists[List::ModuleBaud] = QString::fromUtf16(rates[i]);
        ops.SelectBaudCode();
        EXPECT_EQ(state.BaudCode, QString::number(i + 1, 16).toUpper().rightJustified(2, u'0'));
    }
}

TEST_F(ConfigurationTest, UnlistedTextsFallBack)
{
    const std::tuple<List, const char16_t *, QString FormState::*, const char *> cases[] = {
        {List::ModuleBaud, u"9601", &FormState::BaudCode, "06"},
        {List::ModuleBaud, u"", &FormState::BaudCode, "06"},
        {List::Format, u"工程", &FormState::FormatCode, "00"},
        {List::Format, u"满刻度的百分比", &FormState::FormatCode, "01"},
        {List::Protocol, u"MODBUS  RTU", &FormState::ProtocolCode, "0"},
    };
    for (const auto &[list, text, field, code] : cases) {
        state.BaudCode = state.FormatCode = state.ProtocolCode = QStringLiteral("xx");
        window.lists[list] = QString::fromUtf16(text);
        ops.SelectBaudCode();
        ops.SelectFormatCode();
        ops.SelectProtocolCode();
        EXPECT_EQ(state.*field, QString::fromLatin1(code))
            << QString::fromUtf16(text).toStdString();
    }
}

} // namespace
