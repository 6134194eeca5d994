#include "CoreFixture.h"

#include "core/LeadingNumber.h"

#include <stdexcept>

namespace {

class RepeatTest : public CoreTest
{
protected:
    RepeatTest()
    {
        pump.everyPump = [this] {
            // The module answers every command at once: the send's first read finds the reply.
            if (answering)
                port.pendingInput = QByteArrayLiteral(">1\r");
            if (during)
                during();
            // A run that its Stop did not end fails here instead of hanging the suite.
            if (sends() > 1000)
                throw std::runtime_error("the run went on after its Stop");
        };
    }
    int sends() const { return int(port.written.count('\r')); }
    // Countdown passes of the last cycle: the 1 ms sleeps after the last 50 ms pause.
    int lastCountdownPasses() const
    {
        int passes = 0;
        for (auto it = pump.sleepTrace.rbegin(); it != pump.sleepTrace.rend() && *it == 1; ++it)
            ++passes;
        return passes;
    }
    bool answering = true;
    std::function<void()> during; // what the operator does while the run goes
};

TEST_F(RepeatTest, CountdownPassesFollowTheIntervalsLeadingNumber)
{
    const std::pair<const char *, int> cases[] = {
        {"100", 7}, {"0", 1},      {"-5", 1},    {"16", 2}, {"15.9", 1},
        {"32", 3},  {" +48ms", 4}, {"1e400", 1}, // what the box's text means: LeadingNumber
    };
    for (const auto &[interval, passes] : cases) {
        SCOPED_TRACE(interval);
        window.interval = QString::fromLatin1(interval);
        pump.sleepTrace.clear();
        during = [this, stop = sends() + 1] {
            if (sends() == stop)
                ops.StopRepeat();
        };
        ops.StartRepeat();
        EXPECT_EQ(lastCountdownPasses(), passes);
        // One cycle: the send's wait, two 50 ms pauses, the countdown.
        const std::vector<int> tail(pump.sleepTrace.end() - passes - 2,
                                    pump.sleepTrace.end() - passes);
        EXPECT_EQ(tail, (std::vector<int>{50, 50}));
    }
}

TEST(LeadingNumber, TakesTheNumberTheTextStartsWith)
{
    const std::pair<const char *, double> cases[] = {
        {"100", 100},  {"  -1.5e2xyz", -150},
        {"+.5", 0.5},  {"1.", 1},
        {"1e", 1},     {"1e+", 1},
        {"2E3", 2000}, {"1.2.3", 1.2},
        {"\t7", 7},    {"1,5", 1},
        {".", 0},      {"-", 0},
        {"", 0},       {"abc", 0},
        {"0x10", 0},   {"inf", 0},
        {"nan", 0},    {"1e400", 0},
        {"-1e400", 0}, {"- 5", 0},
    };
    for (const auto &[text, value] : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromLatin1(text)), value) << text;
}

TEST_F(RepeatTest, StopDuringTheReplyWaitEndsTheRunAfterThatCycle)
{
    answering = false;
    // No reply: Stop lands in the middle of the first wait.
    pump.atPump[50] = [this] { ops.StopRepeat(); };
    ops.StartRepeat();
    EXPECT_EQ(sends(), 1);
    EXPECT_EQ(log.entryCount(), 1u);
    EXPECT_EQ(lastCountdownPasses(), 7); // the cycle still finished
}

// A Stop before Continue send does not cancel the run; each cycle reads the interval afresh.
TEST_F(RepeatTest, AnEarlierStopDoesNotCancelTheRunAndTheIntervalIsReadAfreshEachCycle)
{
    ops.StopRepeat();
    during = [this] {
        if (sends() == 2)
            window.interval = QStringLiteral("48");
        if (sends() == 2 && state.RepeatFlag == 1)
            ops.StopRepeat();
    };
    ops.StartRepeat();
    EXPECT_EQ(sends(), 2);
    EXPECT_EQ(lastCountdownPasses(), 4);
}

TEST_F(RepeatTest, ANestedRunSharesTheFlagAndOneStopEndsBoth)
{
    bool nested = false;
    during = [this, &nested] {
        if (sends() == 1 && !nested) {
            nested = true;
            ops.StartRepeat(); // Continue send clicked again inside the first run
        }
        if (sends() == 3 && state.RepeatFlag == 1)
            ops.StopRepeat();
    };
    ops.StartRepeat();
    // The inner run ends after its cycle with the stop; the outer one finishes its first cycle
    // and sees the stop too.
    EXPECT_EQ(sends(), 3);
}

} // namespace
