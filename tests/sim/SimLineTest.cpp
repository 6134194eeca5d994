// A line of several modules: who hears, who answers, and the line's own framing and faults.
// One module's protocols, character and MODBUS, are SimModuleTest's table.
#include "Faults.h"
#include "Frames.h"
#include "ModuleBus.h"
#include "RtuFramer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace sim;

namespace {

constexpr double kVolts = 5.123;

// A text command, or a MODBUS frame written as hex in brackets (the CRC is added). Its outcome:
// each reply with the module it came from, "reply from 02" for any MODBUS reply, or "(why)".
struct LineStep
{
    std::string input;
    std::string outcome;
    int lineBaud = 9600;
};

struct LineCase
{
    const char *name;
    std::vector<std::string> args;
    std::vector<LineStep> steps;
};

// clang-format off
const LineCase kLineCases[] = {
    {"EachModuleAnswersItsOwnAddress", {"--module", "01", "--module", "02,format=01", "--module", "0A,format=02"},
     {{"#01", ">+05.123\r from 01"}, {"#02", ">+051.23\r from 02"}, {"#0a", ">4193\r from 0A"},
      {"#03", "(no module at 03)"}, {"x", "(unaddressed)"}}},
    {"OnlyAModuleWithItsJumperTakesTheConfigurationAddress", {"--module", "01", "--module", "02"},
     {{"%0005000600", "(no module with its jumper fitted takes 00)"}, {"#00", "(no module at 00)"}}},
    {"TheJumperedModuleIsConfiguredThroughAddress00", {"--module", "01", "--module", "02,jumper"},
     {{"%0005000600", "!05\r from 02"}, {"#05", ">+05.123\r from 05"}, {"#02", "(no module at 02)"}}},
    {"AnAddressAnotherModuleHasIsRefused", {"--module", "01", "--module", "02"},
     {{"%0102000600", "?01\r from 01"}, {"%0103000600", "!03\r from 01"}, {"#03", ">+05.123\r from 03"}}},
    {"EachModuleHearsOnlyItsOwnRate", {"--module", "01", "--module", "02,baud=19200"},
     {{"#02", "(baud mismatch, module at 19200)"}, {"#02", ">+05.123\r from 02", 19200},
      {"#01", "(baud mismatch, module at 9600)", 19200}}},
    {"BothProtocolsShareALine", {"--module", "01", "--module", "02,modbus"},
     {{"#02", "(modbus)"}, {"#01", ">+05.123\r from 01"}, {"[02 04 00 00 00 01]", "reply from 02"},
      {"[01 04 00 00 00 01]", "(module 01 speaks the character protocol)"},
      {"[03 04 00 00 00 01]", "(no module at 03)"}}},
    {"TwoModulesTakingAddress00Collide", {"--module", "01,jumper", "--module", "02,jumper"},
     {{"$00P0", "!01\r from 01 + !02\r from 02"}}},
};
// clang-format on

void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << c.name;
}

using SimLine = testing::TestWithParam<LineCase>;

TEST_P(SimLine, TheAddressedModuleAnswers)
{
    const ParsedOptions parsed = parseOptions(GetParam().args);
    ASSERT_EQ(parsed.error, "");
    ModuleBus bus(parsed.options);
    for (const LineStep &step : GetParam().steps) {
        SCOPED_TRACE(step.input + " at " + std::to_string(step.lineBaud));
        const bool frame = step.input.front() == '[';
        const Heard heard =
            frame ? bus.hearFrame(withCrc(bytesOf(step.input.substr(1))), step.lineBaud, kVolts)
                  : bus.hearCommand(step.input, step.lineBaud, kVolts);
        std::string outcome = heard.answers.empty() ? '(' + heard.silence + ')' : "";
        for (const Answer &answer : heard.answers) {
            outcome += (outcome.empty() ? "" : " + ") + (frame ? "reply" : answer.reply) +
                       " from " + answer.from;
        }
        EXPECT_EQ(outcome, step.outcome);
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimLine, testing::ValuesIn(kLineCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Frames end where the line falls silent for the gap, measured on the wire's clock.
TEST(SimFrames, EndAtTheSilence)
{
    using namespace std::chrono;
    const RtuFramer::Clock::time_point t0{};
    const microseconds gap(3646); // 3.5 characters at 9600 baud
    RtuFramer framer;
    EXPECT_EQ(framer.endsAt(), std::nullopt);
    for (int i = 0; i < 3; ++i)
        framer.add(char('a' + i), t0 + microseconds(1042 * (i + 1)), gap);
    framer.add('x', t0 + microseconds(3126 + 3646), gap); // after a whole gap: a frame of its own
    EXPECT_EQ(framer.endsAt(), t0 + microseconds(3126 + 3646) + gap);
    const auto first = framer.take(t0 + microseconds(3126 + 3646));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, "abc");
    EXPECT_EQ(first->second, t0 + microseconds(3126) + gap);
    EXPECT_EQ(framer.take(t0 + microseconds(3126 + 3646) + gap - nanoseconds(1)), std::nullopt);
    EXPECT_EQ(framer.take(t0 + microseconds(3126 + 3646) + gap)->first, "x");
}

// The same seed gives the same faults; each kind does what it says and is noted.
TEST(SimFaults, SeededAndNoted)
{
    SimOptions options;
    options.seed = 7;
    options.dropShare = 0.3;
    options.garbleShare = 0.3;
    options.lateMs = 250;
    options.lateShare = 0.5;
    Faults first(options), second(options);
    int dropped = 0, garbled = 0, late = 0;
    for (int i = 0; i < 200; ++i) {
        std::string a = ">+05.123\r", b = a;
        const Faults::Decision one = first.apply(a), other = second.apply(b);
        ASSERT_EQ(one.note, other.note);
        ASSERT_EQ(a, b);
        int changed = 0;
        for (std::size_t k = 0; k < a.size(); ++k)
            changed += a[k] != ">+05.123\r"[k];
        dropped += one.dropped;
        garbled += changed;
        late += one.late.count() > 0;
        EXPECT_EQ(changed, one.note.find("garbled") != std::string::npos ? 1 : 0) << one.note;
        EXPECT_EQ(one.dropped, one.note == "[dropped]");
        EXPECT_EQ(one.late.count(), one.note.find("[late 250 ms]") != std::string::npos ? 250 : 0);
    }
    // Shares of 200 draws, within wide bounds: 0.3 of all, 0.3 and 0.5 of those not dropped.
    EXPECT_NEAR(dropped, 60, 25);
    EXPECT_NEAR(garbled, 42, 22);
    EXPECT_NEAR(late, 70, 28);
    std::string reply = "#";
    EXPECT_EQ(Faults(SimOptions{}).apply(reply).note, "");
    // "--late 0" holds nothing back, so the trace never calls a reply late.
    options.dropShare = 0;
    options.lateMs = 0;
    options.lateShare = 1;
    Faults onTime(options);
    for (int i = 0; i < 20; ++i) {
        const Faults::Decision decision = onTime.apply(reply);
        EXPECT_EQ(decision.late.count(), 0);
        EXPECT_EQ(decision.note.find("late"), std::string::npos) << decision.note;
    }
}

} // namespace
