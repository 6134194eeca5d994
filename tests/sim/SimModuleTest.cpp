#include "SimModule.h"
#include "Reading.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace sim;

namespace {

constexpr double kVolts = 5.123;

// What one line gets: the reply, or "(why)" when the module stays silent.
struct Step
{
    std::string command;
    std::string outcome;
    int lineBaud = 9600;
};

struct ProtocolCase
{
    const char *name;
    ModuleState start;
    std::vector<Step> steps;
    ModuleState end;
};

ModuleState state(int address = 0x01, DataFormat format = DataFormat::Engineering, int baud = 9600,
                  Protocol protocol = Protocol::Character, bool jumper = false)
{
    return {address, format, baud, protocol, jumper};
}

ModuleState withJumper(ModuleState s)
{
    s.jumperFitted = true;
    return s;
}

ModuleState named(const std::string &name, const std::string &firmware)
{
    ModuleState s = state();
    s.name = name;
    s.firmware = firmware;
    return s;
}

const ModuleState kDefault = state();
const ModuleState kJumper = withJumper(state());
const std::string kReading = ">+05.123\r";
constexpr auto kHex = DataFormat::TwosComplementHex;
constexpr auto kPercent = DataFormat::PercentOfFullScale;

// One row per case.
// clang-format off
const ProtocolCase kProtocolCases[] = {
    {"ReadOwnAddress", kDefault, {{"#01", kReading}}, kDefault},
    {"ReadAddressIsCaseInsensitive", state(0x1A), {{"#1a", kReading}}, state(0x1A)},
    {"ReadOfOtherOrConfigAddressIsSilent", kDefault,
     {{"#02", "(wrong address)"}, {"#00", "(wrong address)"}, {"@05", "(wrong address)"}},
     kDefault},
    {"ReadWithTrailingJunkIsRefused", kDefault, {{"#01X", "?01\r"}}, kDefault},
    {"UnknownCommandIsRefused", kDefault,
     {{"@01", "?01\r"}, {"$01X", "?01\r"}, {"$01P2", "?01\r"}, {"$01M1", "?01\r"}}, kDefault},
    {"ConfigurationNameAndFirmwareAreRead", state(0x0A, kHex, 115200),
     {{"$0A2", "!0A000A02\r", 115200}, {"$0am", "!0ATOLVANE-SIM\r", 115200},
      {"$0AF", "!0A1.00\r", 115200}, {"$0B2", "(wrong address)", 115200},
      {"$0A2", "(baud mismatch)"}}, state(0x0A, kHex, 115200)},
    {"ConfigAddressAnswersWithTheModulesOwn", kDefault,
     {{"$002", "!01000600\r"}, {"$00M", "!01TOLVANE-SIM\r"}}, kDefault},
    {"ModuleWithoutNameOrFirmwareRefusesThem", named("", ""),
     {{"$01M", "?01\r"}, {"$01F", "?01\r"}, {"$012", "!01000600\r"}}, named("", "")},
    {"NameAndFirmwareAreTheModulesOwn", named("PT100 IN", "B2.07"),
     {{"$01M", "!01PT100 IN\r"}, {"$01F", "!01B2.07\r"}}, named("PT100 IN", "B2.07")},
    {"ModbusModuleIgnoresTheQuestions", withJumper(state(0x01, kPercent, 9600, Protocol::ModbusRtu)),
     {{"$012", "(modbus)"}, {"$01M", "(modbus)"}},
     withJumper(state(0x01, kPercent, 9600, Protocol::ModbusRtu))},
    {"UnaddressedLinesAreSilent", kDefault,
     {{"", "(unaddressed)"}, {"#", "(unaddressed)"}, {"#zz", "(unaddressed)"}}, kDefault},
    {"ConfigKeepingRateWithoutJumperApplies", kDefault, {{"%0102000601", "!02\r"}},
     state(0x02, kPercent)},
    {"ConfigToConfigAddressIsAnswered", kDefault, {{"%0001000602", "!01\r"}}, state(0x01, kHex)},
    {"ConfigChangingRateWithoutJumperIsRefusedWhole", kDefault,
     {{"%0102000701", "?01\r"}, {"#01", kReading}}, kDefault},
    {"ConfigChangingRateWithJumperApplies", kJumper, {{"%0102000701", "!02\r"}},
     withJumper(state(0x02, kPercent, 19200))},
    {"BaudCodeIsCaseInsensitive", kJumper, {{"%0101000a00", "!01\r"}},
     withJumper(state(0x01, DataFormat::Engineering, 115200))},
    {"MalformedConfigIsRefused", kJumper,
     {{"%010200060", "?01\r"}, {"%01020006000", "?01\r"}, {"%01G2000600", "?01\r"},
      {"%0102010600", "?01\r"}, {"%0102000B00", "?01\r"}, {"%0102000000", "?01\r"},
      {"%0102000603", "?01\r"}}, kJumper},
    {"ConfigForOtherAddressIsSilent", kJumper, {{"%0302000600", "(wrong address)"}}, kJumper},
    {"AddressChangeSilencesOldAddress", kDefault,
     {{"%0107000600", "!07\r"}, {"#01", "(wrong address)"}, {"#07", kReading}}, state(0x07)},
    {"RateChangeAcksAtOldRateThenNeedsNewRate", kJumper,
     {{"%0101000700", "!01\r"}, {"#01", "(baud mismatch)"}, {"#01", kReading, 19200}},
     withJumper(state(0x01, DataFormat::Engineering, 19200))},
    {"MismatchedLineIsSilentAndChangesNothing", kJumper,
     {{"#01", "(baud mismatch)", 19200}, {"%0102000600", "(baud mismatch)", 4800}}, kJumper},
    {"ProtocolChangeWithoutJumperIsRefused", kDefault, {{"$01P1", "?01\r"}, {"$00P1", "?01\r"}},
     kDefault},
    {"ModbusWithJumperSilencesTextCommands", kJumper,
     {{"$00P1", "!01\r"}, {"#01", "(modbus)"}, {"$01P0", "(modbus)"}, {"%0102000600", "(modbus)"}},
     withJumper(state(0x01, DataFormat::Engineering, 9600, Protocol::ModbusRtu))},
    {"CharacterProtocolWithJumperIsAcknowledged", kJumper, {{"$01p0", "!01\r"}, {"#01", kReading}},
     kJumper},
};
// clang-format on

void PrintTo(const ProtocolCase &c, std::ostream *os)
{
    *os << c.name;
}

using SimProtocol = testing::TestWithParam<ProtocolCase>;

TEST_P(SimProtocol, RepliesAndState)
{
    const ProtocolCase &c = GetParam();
    SimModule module(c.start);
    for (const Step &step : c.steps) {
        SCOPED_TRACE(step.command + " at " + std::to_string(step.lineBaud));
        const Outcome outcome = module.handle(step.command, step.lineBaud, kVolts);
        const bool silent = outcome.silence != Silence::None;
        EXPECT_EQ(silent ? '(' + std::string(silenceText(outcome.silence)) + ')' : outcome.reply,
                  step.outcome);
        EXPECT_EQ(silent, outcome.reply.empty());
    }
    EXPECT_TRUE(module.state() == c.end);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimProtocol, testing::ValuesIn(kProtocolCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct ReadingCase
{
    double volts;
    const char *engineering;
    const char *percent;
    const char *twosComplement;
};

// Full scale is 10 V = 100.00 % = 7FFF; negative counts wrap to 16-bit two's complement.
const ReadingCase kReadings[] = {
    {5.123, "+05.123", "+051.23", "4193"}, {-5.123, "-05.123", "-051.23", "BE6D"},
    {0.0, "+00.000", "+000.00", "0000"},   {0.25, "+00.250", "+002.50", "0333"},
    {10.0, "+10.000", "+100.00", "7FFF"},  {-10.0, "-10.000", "-100.00", "8001"},
    {12.5, "+10.000", "+100.00", "7FFF"},  {-40.0, "-10.000", "-100.00", "8001"},
};

TEST(SimReading, EachFormatWritesTheSameValueItsOwnWay)
{
    for (const ReadingCase &c : kReadings) {
        SCOPED_TRACE(c.volts);
        EXPECT_EQ(formatReading(c.volts, DataFormat::Engineering), c.engineering);
        EXPECT_EQ(formatReading(c.volts, DataFormat::PercentOfFullScale), c.percent);
        EXPECT_EQ(formatReading(c.volts, DataFormat::TwosComplementHex), c.twosComplement);
    }
}

} // namespace
