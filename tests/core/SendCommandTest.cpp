#include "CoreFixture.h"

#include "core/LineCodec.h"

namespace {

constexpr int PumpsPerPass = 4; // one pump, then a 1 ms pause that pumps three times

int firstPumpOfPass(int pass)
{
    return (pass - 1) * PumpsPerPass + 1;
}

using SendCommandTest = CoreTest;

TEST_F(SendCommandTest, ReplyGoesToResponseBoxAndNewestLogEntryOnTop)
{
    port.arrive[3] = QByteArrayLiteral(">+05.123\r");
    ops.SendCommand();
    window.command = QStringLiteral("#02");
    port.reads = 0;
    port.arrive[1] = QByteArrayLiteral("?01\r");
    ops.SendCommand();

    EXPECT_EQ(port.written, QByteArrayLiteral("#01\r#02\r"));
    EXPECT_EQ(window.response, QStringLiteral("?01\r"));
    EXPECT_EQ(window.sentCommand, QStringLiteral("#02"));
    EXPECT_EQ(state.LastCommand, QStringLiteral("#02"));
    EXPECT_EQ(log.text(), entry("#02", "?01\r") + entry("#01", ">+05.123\r"));
    EXPECT_EQ(window.newLogEntries, 2);
    EXPECT_EQ(window.lamp, LampGreen);
}

TEST_F(SendCommandTest, StepsRunInOrderWithTheLinkBaudListsRate)
{
    window.lists[WindowControls::List::LinkBaud] = QStringLiteral("19200");
    state.PortNumber = 7;
    port.arrive[1] = QByteArrayLiteral("!01\r");
    ops.SendCommand();
    const std::vector<QString> expected{"setPortNumber", "setSettings",  "setReadLength", "setOpen",
                                        "discardOutput", "discardInput", "write",         "read"};
    EXPECT_EQ(port.calls, expected);
    EXPECT_EQ(port.settings, QStringLiteral("19200,N,8,1"));
    EXPECT_EQ(port.portNumber, 7);
}

TEST_F(SendCommandTest, NoReplyMakes301PassesAnd300Reads)
{
    ops.SendCommand();
    EXPECT_EQ(port.reads, 300);
    EXPECT_EQ(state.PollCount, 301);
    EXPECT_EQ(pump.sleeps, 301);
    EXPECT_EQ(pump.pumps, 301 * PumpsPerPass);
    EXPECT_EQ(window.response, QString());
    EXPECT_EQ(log.text(), entry("#01", ""));
}

TEST_F(SendCommandTest, ReplyOnTheLastReadIsStillTaken)
{
    port.arrive[300] = QByteArrayLiteral("late\r");
    ops.SendCommand();
    EXPECT_EQ(window.response, QStringLiteral("late\r"));
    EXPECT_EQ(state.PollCount, 300);
}

TEST_F(SendCommandTest, SplitReplyIsJoinedAndBytesAfterTheCrInTheSameReadStay)
{
    port.arrive[2] = QByteArrayLiteral(">+0");
    port.arrive[4] = QByteArrayLiteral("5.1");
    port.arrive[7] = QByteArrayLiteral("23\r\nextra");
    port.arrive[8] = QByteArrayLiteral("never read");
    ops.SendCommand();
    EXPECT_EQ(port.reads, 7);
    EXPECT_EQ(window.response, QStringLiteral(">+05.123\r\nextra"));
    EXPECT_EQ(log.text(), entry("#01", ">+05.123\r\nextra"));
}

TEST_F(SendCommandTest, ReplyWithoutCrIsShownAsFarAsItCame)
{
    port.arrive[5] = QByteArrayLiteral(">+05");
    ops.SendCommand();
    EXPECT_EQ(port.reads, 300);
    EXPECT_EQ(window.response, QStringLiteral(">+05"));
}

TEST_F(SendCommandTest, EmptyCommandSendsALoneCarriageReturn)
{
    window.command.clear();
    ops.SendCommand();
    EXPECT_EQ(port.written, QByteArrayLiteral("\r"));
    EXPECT_EQ(log.text(), entry("", ""));
}

// Every step runs although an earlier one failed; only the lamp at the end tells.
TEST_F(SendCommandTest, EachFailingStepIsSkippedAndKeepsTheLampAsItWas)
{
    const char *steps[] = {"setPortNumber", "setSettings",  "setReadLength", "setOpen",
                           "discardOutput", "discardInput", "write"};
    for (const char *failing : steps) {
        SCOPED_TRACE(failing);
        FakeSerialPort fresh;
        FakeWindow freshWindow;
        FormState freshState;
        LogModel freshLog;
        ScriptedPump freshPump;
        Operations send(freshState, freshWindow, fresh, freshPump, freshLog);
        send.StartUp();
        fresh.failing.insert(QString::fromLatin1(failing));
        fresh.arrive[1] = QByteArrayLiteral("!01\r");
        send.SendCommand();
        EXPECT_TRUE(freshWindow.lampHistory.empty());
        EXPECT_EQ(fresh.calls.size(), 8u);
        EXPECT_EQ(freshWindow.response, QStringLiteral("!01\r"));
        EXPECT_EQ(freshLog.entryCount(), 1u);
    }
}

TEST_F(SendCommandTest, FailingReadsWaitTheFullTimeAndStillLog)
{
    port.failing.insert(QStringLiteral("read"));
    port.arrive[1] = QByteArrayLiteral("!01\r");
    ops.SendCommand();
    EXPECT_EQ(port.reads, 300);
    EXPECT_EQ(window.response, QString());
    EXPECT_EQ(window.lamp, LampGreen); // the read is not one of the steps the lamp reflects
    EXPECT_EQ(log.entryCount(), 1u);
}

TEST_F(SendCommandTest, AnEditOfTheCommandBoxDuringTheWaitDoesNotChangeWhatTheLogSaysWentOut)
{
    pump.atPump[firstPumpOfPass(2)] = [this] { window.command = QStringLiteral("#99 edited"); };
    port.arrive[5] = QByteArrayLiteral(">1\r");
    ops.SendCommand();
    EXPECT_EQ(port.written, QByteArrayLiteral("#01\r"));
    EXPECT_EQ(log.text(), entry("#01", ">1\r"));
    EXPECT_EQ(window.command, QStringLiteral("#99 edited"));
}

// A send started inside another's wait shares PollCount, and each entry names its own command.
TEST_F(SendCommandTest, NestedSendSharesPollCountAndEachEntryNamesItsOwnCommand)
{
    pump.atPump[firstPumpOfPass(10)] = [this] {
        window.command = QStringLiteral("#02");
        port.arrive[port.reads + 3] = QByteArrayLiteral("!02\r");
        ops.SendCommand();
    };
    ops.SendCommand();

    // Outer: 9 reads, then the nested send's 3 reads leave PollCount at 3, after which the
    // outer wait runs on to 300 from there: 297 more passes, 296 reads... plus its own.
    EXPECT_EQ(port.written, QByteArrayLiteral("#01\r#02\r"));
    EXPECT_EQ(log.entryCount(), 2u);
    EXPECT_EQ(log.text(), entry("#01", "") + entry("#02", "!02\r"));
    EXPECT_EQ(state.PollCount, 301);
    EXPECT_EQ(port.reads, 9 + 3 + (300 - 3));
    EXPECT_EQ(state.LastCommand, QStringLiteral("#02"));
}

TEST_F(SendCommandTest, NestedSendThatRunsOutEndsTheOuterWaitAtItsNextPass)
{
    pump.atPump[firstPumpOfPass(5)] = [this] {
        window.command = QStringLiteral("#02");
        ops.SendCommand(); // no reply: runs to 301
    };
    ops.SendCommand();
    EXPECT_EQ(port.reads, 4 + 300);
    EXPECT_EQ(state.PollCount, 302);
    EXPECT_EQ(log.text(), entry("#01", "") + entry("#02", ""));
}

TEST_F(SendCommandTest, EveryByteOfAReplyArrivesAsOneCharacter)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r')
            all.append(char(b));
    }
    port.arrive[1] = all + '\r';
    ops.SendCommand();
    ASSERT_EQ(window.response.size(), 256);
    for (int i = 0; i < 255; ++i)
        EXPECT_EQ(window.response.at(i).unicode(), uchar(all.at(i))) << i;
    EXPECT_EQ(toLineBytes(window.response), all + '\r');
}

TEST_F(SendCommandTest, CommandCharactersMapToLatin1Bytes)
{
    window.command = QStringLiteral("#01\u00E9\u00FF\u4E2D");
    ops.SendCommand();
    EXPECT_EQ(port.written, QByteArray("#01\xE9\xFF?\r"));
    EXPECT_EQ(log.text(), entry(QStringLiteral("#01\u00E9\u00FF?"), ""));
}

} // namespace
