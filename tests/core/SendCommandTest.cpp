#include "CoreFixture.h"

namespace {

constexpr int PumpsPerPass = 4; // one pump, then a 1 ms pause that pumps three times

int firstPumpOfPass(int pass)
{
    return (pass - 1) * PumpsPerPass + 1;
}

using SendCommandTest = CoreTest;

// What arrives, read by read, and what the wait makes of it.
struct Arrival
{
    const char *name;
    std::map<int, QByteArray> reads;
    bool readsFail;
    const char *response;
    int readsMade;
    int passes; // each pass sleeps 1 ms
};

const Arrival arrivals[] = {
    {"ReplyOnTheThirdRead", {{3, ">+05.123\r"}}, false, ">+05.123\r", 3, 3},
    {"SplitReplyJoinedAndBytesAfterTheCrInTheSameReadKept",
     {{2, ">+0"}, {4, "5.1"}, {7, "23\r\nextra"}, {8, "never read"}},
     false,
     ">+05.123\r\nextra",
     7,
     7},
    {"ReplyOnTheLastReadStillTaken", {{300, "late\r"}}, false, "late\r", 300, 300},
    {"NoReplyMakes301PassesAnd300Reads", {}, false, "", 300, 301},
    {"ReplyWithoutCrShownAsFarAsItCame", {{5, ">+05"}}, false, ">+05", 300, 301},
    {"FailingReadsWaitTheFullTime", {{1, "!01\r"}}, true, "", 300, 301},
};

class SendArrival : public CoreTest, public ::testing::WithParamInterface<Arrival>
{
};

// Each send takes the link's rate and the selected COM, and drops what arrived before it.
TEST_P(SendArrival, ResponseLogReadsAndPasses)
{
    const Arrival &arrival = GetParam();
    window.lists[WindowControls::List::LinkBaud] = QStringLiteral("19200");
    state.PortNumber = 7;
    port.pendingInput = QByteArrayLiteral("stale\r");
    port.arrive = arrival.reads;
    if (arrival.readsFail)
        port.failing.insert(QStringLiteral("read"));
    ops.SendCommand();
    EXPECT_EQ(port.settings, QStringLiteral("19200,N,8,1"));
    EXPECT_EQ(port.portNumber, 7);
    EXPECT_EQ(window.sentCommand, QStringLiteral("#01"));
    EXPECT_EQ(window.response, QString::fromLatin1(arrival.response));
    EXPECT_EQ(log.text(), entry("#01", QString::fromLatin1(arrival.response)));
    EXPECT_EQ(window.newLogEntries, 1);
    EXPECT_EQ(port.reads, arrival.readsMade);
    EXPECT_EQ(state.PollCount, arrival.passes);
    EXPECT_EQ(pump.sleptMs, arrival.passes);
    EXPECT_EQ(window.lamp, LampGreen); // the read is not one of the steps the lamp reflects
}

INSTANTIATE_TEST_SUITE_P(Core, SendArrival, ::testing::ValuesIn(arrivals),
                         [](const auto &info) { return std::string(info.param.name); });

// Every step runs although an earlier one failed; only the lamp at the end tells.
class FailingStep : public CoreTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(FailingStep, IsSkippedAndTheLampStaysAsItWas)
{
    port.failing.insert(QString::fromLatin1(GetParam()));
    port.arrive[1] = QByteArrayLiteral("!01\r");
    ops.SendCommand();
    EXPECT_TRUE(window.lampHistory.empty());
    EXPECT_EQ(port.calls.size(), 8u);
    EXPECT_EQ(window.response, QStringLiteral("!01\r")); // the wait goes on as ever
}

INSTANTIATE_TEST_SUITE_P(Core, FailingStep,
                         ::testing::Values("setPortNumber", "setSettings", "setReadLength",
                                           "setOpen", "discardOutput", "discardInput", "write"));

// The command goes out as it was at the click, whatever the box says during the wait: each
// character one Latin-1 byte, one beyond U+00FF sent and logged as ?, then CR.
TEST_F(SendCommandTest, TheCommandGoesOutAsLatin1BytesAndAnEditDuringTheWaitChangesNothing)
{
    window.command = QStringLiteral("#01\u00E9\u00FF\u4E2D");
    pump.atPump[firstPumpOfPass(2)] = [this] { window.command = QStringLiteral("#99 edited"); };
    port.arrive[5] = QByteArrayLiteral(">1\r");
    ops.SendCommand();
    EXPECT_EQ(port.written, QByteArray("#01\xE9\xFF?\r"));
    EXPECT_EQ(log.text(), entry(QStringLiteral("#01\u00E9\u00FF?"), ">1\r"));
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

} // namespace
