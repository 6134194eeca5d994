#include "CoreFixture.h"

#include "core/ComLinks.h"

namespace {

using PortControlTest = CoreTest;

TEST_F(PortControlTest, SelectPortMapsTheListTextWithFallbackToOne)
{
    const int last = tolvane::kLastCom;
    const QString lastCom = QStringLiteral("COM%1").arg(last);
    const QString pastCom = QStringLiteral("COM%1").arg(last + 1);
    const std::pair<QString, int> cases[] = {
        {"COM1", 1}, {"COM7", 7},  {"COM10", 10}, {lastCom, last}, {pastCom, 1},
        {"com7", 1}, {" COM3", 1}, {"COM3 ", 1},  {"", 1},         {"COM0", 1},
    };
    for (const auto &[text, expected] : cases) {
        state.PortNumber = 13;
        window.lists[WindowControls::List::Com] = text;
        ops.SelectPort();
        EXPECT_EQ(state.PortNumber, expected) << text.toStdString();
    }
}

// Close keeps the lamp green when closing fails; picking a COM closes the port and turns the
// lamp grey even then; closing a closed port is no failure. A grey lamp means a closed port.
TEST_F(PortControlTest, ClosingAndPickingAComTurnTheLampGrey)
{
    window.lamp = LampGreen;
    port.failing.insert(QStringLiteral("setOpen"));
    ops.ClosePort();
    EXPECT_EQ(window.lamp, LampGreen);
    window.lists[WindowControls::List::Com] = QStringLiteral("COM7");
    ops.SelectPort();
    EXPECT_EQ(window.lamp, LampGrey);
    EXPECT_EQ(state.PortNumber, 7);
    EXPECT_EQ(port.calls, std::vector<QString>(2, QStringLiteral("setOpen")));

    port.failing.clear();
    for (void (Operations::*closing)() : {&Operations::ClosePort, &Operations::SelectPort}) {
        ops.OpenPort();
        ASSERT_TRUE(port.open);
        (ops.*closing)();
        EXPECT_FALSE(port.open);
        EXPECT_EQ(window.lamp, LampGrey);
    }
    window.lampHistory.clear();
    ops.ClosePort(); // already closed
    EXPECT_EQ(window.lampHistory, std::vector<LampColor>{LampGrey});
}

// Open always sets 9600 whatever the link's list shows; a failing step skips none of the others
// and leaves the lamp as it was.
TEST_F(PortControlTest, OpenPortUses9600AndTheSelectedPortAndRunsEveryStep)
{
    window.lists[WindowControls::List::LinkBaud] = QStringLiteral("115200");
    state.PortNumber = 4;
    ops.OpenPort();
    EXPECT_EQ(port.settings, QStringLiteral("9600,N,8,1"));
    EXPECT_EQ(port.portNumber, 4);
    EXPECT_TRUE(port.open);
    EXPECT_EQ(window.lamp, LampGreen);
    for (const char *failing : {"setPortNumber", "setSettings", "setReadLength", "setOpen"}) {
        SCOPED_TRACE(failing);
        port.calls.clear();
        port.failing = {QString::fromLatin1(failing)};
        window.lampHistory.clear();
        ops.OpenPort();
        EXPECT_EQ(port.calls.size(), 4u);
        EXPECT_TRUE(window.lampHistory.empty());
    }
}

// The window test checks what the lists show; here, that the codes match what they show.
TEST_F(PortControlTest, StartUpDefaultsAreWhatPickingTheShownEntriesGives)
{
    // The defaults are what picking the shown entries would give.
    const FormState before = state;
    ops.SelectPort();
    ops.SelectBaudCode();
    ops.SelectFormatCode();
    ops.SelectProtocolCode();
    EXPECT_EQ(std::tie(state.PortNumber, state.BaudCode, state.FormatCode, state.ProtocolCode),
              std::tie(before.PortNumber, before.BaudCode, before.FormatCode, before.ProtocolCode));
}

} // namespace
