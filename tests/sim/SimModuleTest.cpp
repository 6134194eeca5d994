// One simulated module's protocols, character and MODBUS RTU, as tables: a start state, commands
// in turn, what each one got, and the state at the end. Then the readings, the CRC and the
// register map.
#include "SimModule.h"
#include "Frames.h"
#include "ModbusModule.h"
#include "Reading.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace sim;

namespace {

// -5.123 V: the reading -05.123, -5123 mV = EBFD, BE6D in counts.
constexpr double kVolts = -5.123;
// Another module on the line has this address.
constexpr int kTakenAddress = 0x05;

// A text command without its CR, or a MODBUS frame in hex: in brackets its CRC is added
// ("[01 04 00 00 00 02]"), in braces it goes as written. What it got: the reply, or "(why)"
// when a text command is not answered; for a frame, the reply in hex without its CRC, then
// " | note", or the note alone.
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
    std::optional<ModuleState> end = std::nullopt; // unset: the state is as it started
};

void PrintTo(const ProtocolCase &c, std::ostream *os)
{
    *os << c.name;
}

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

ModuleState modbus(int address = 0x01, DataFormat format = DataFormat::Engineering, int baud = 9600,
                   bool jumper = false, Protocol protocol = Protocol::ModbusRtu)
{
    return state(address, format, baud, protocol, jumper);
}

const ModuleState kDefault = state();
const ModuleState kJumper = withJumper(state());
const ModuleState kModbus = modbus();
const ModuleState kModbusJumper = withJumper(modbus());
const std::string kReading = ">-05.123\r";
constexpr auto kHex = DataFormat::TwosComplementHex;
constexpr auto kPercent = DataFormat::PercentOfFullScale;

std::string refused(const char *reply)
{
    return reply + std::string(" | exception 03 (illegal data value)");
}

std::string outside(const char *reply)
{
    return reply + std::string(" | exception 02 (illegal data address)");
}

// One row per case.
// clang-format off
const ProtocolCase kCharacterCases[] = {
    {"ReadOfOtherOrConfigAddressIsSilent", kDefault,
     {{"#02", "(wrong address)"}, {"#00", "(wrong address)"}, {"@05", "(wrong address)"}}},
    {"ReadWithTrailingJunkIsRefused", kDefault, {{"#01X", "?01\r"}}},
    {"UnknownCommandIsRefused", kDefault,
     {{"@01", "?01\r"}, {"$01X", "?01\r"}, {"$01P2", "?01\r"}, {"$01M1", "?01\r"}}},
    {"ConfigurationNameAndFirmwareAreRead", state(0x0A, kHex, 115200),
     {{"$0A2", "!0A000A02\r", 115200}, {"$0am", "!0ATOLVANE-SIM\r", 115200},
      {"$0AF", "!0A1.00\r", 115200}, {"$0B2", "(wrong address)", 115200},
      {"$0A2", "(baud mismatch)"}}},
    {"ConfigAddressAnswersWithTheModulesOwn", kDefault,
     {{"$002", "!01000600\r"}, {"$00M", "!01TOLVANE-SIM\r"}}},
    {"ModuleWithoutNameOrFirmwareRefusesThem", named("", ""),
     {{"$01M", "?01\r"}, {"$01F", "?01\r"}, {"$012", "!01000600\r"}}},
    {"NameAndFirmwareAreTheModulesOwn", named("PT100 IN", "B2.07"),
     {{"$01M", "!01PT100 IN\r"}, {"$01F", "!01B2.07\r"}}},
    {"ModbusModuleIgnoresTheQuestions", withJumper(state(0x01, kPercent, 9600, Protocol::ModbusRtu)),
     {{"$012", "(modbus)"}, {"$01M", "(modbus)"}}},
    {"UnaddressedLinesAreSilent", kDefault,
     {{"", "(unaddressed)"}, {"#", "(unaddressed)"}, {"#zz", "(unaddressed)"}}},
    {"ConfigKeepingRateWithoutJumperApplies", kDefault, {{"%0102000601", "!02\r"}},
     state(0x02, kPercent)},
    {"ConfigToConfigAddressIsAnswered", kDefault, {{"%0001000602", "!01\r"}}, state(0x01, kHex)},
    {"ConfigChangingRateWithoutJumperIsRefusedWhole", kDefault,
     {{"%0102000701", "?01\r"}, {"#01", kReading}}},
    {"ConfigChangingRateWithJumperApplies", kJumper, {{"%0102000701", "!02\r"}},
     withJumper(state(0x02, kPercent, 19200))},
    {"BaudCodeIsCaseInsensitive", kJumper, {{"%0101000a00", "!01\r"}},
     withJumper(state(0x01, DataFormat::Engineering, 115200))},
    {"MalformedConfigIsRefused", kJumper,
     {{"%010200060", "?01\r"}, {"%01020006000", "?01\r"}, {"%01G2000600", "?01\r"},
      {"%0102010600", "?01\r"}, {"%0102000B00", "?01\r"}, {"%0102000000", "?01\r"},
      {"%0102000603", "?01\r"}}},
    {"ConfigForOtherAddressIsSilent", kJumper, {{"%0302000600", "(wrong address)"}}},
    {"AddressChangeSilencesOldAddress", kDefault,
     {{"%0107000600", "!07\r"}, {"#01", "(wrong address)"}, {"#07", kReading}}, state(0x07)},
    {"MismatchedLineIsSilentAndChangesNothing", kJumper,
     {{"#01", "(baud mismatch)", 19200}, {"%0102000600", "(baud mismatch)", 4800}}},
    {"ProtocolChangeWithoutJumperIsRefused", kDefault, {{"$01P1", "?01\r"}, {"$00P1", "?01\r"}}},
    {"ModbusWithJumperSilencesTextCommands", kJumper,
     {{"$00P1", "!01\r"}, {"#01", "(modbus)"}, {"$01P0", "(modbus)"}, {"%0102000600", "(modbus)"}},
     withJumper(state(0x01, DataFormat::Engineering, 9600, Protocol::ModbusRtu))},
    {"CharacterProtocolWithJumperIsAcknowledged", kJumper, {{"$01p0", "!01\r"}, {"#01", kReading}}},
};

const ProtocolCase kModbusCases[] = {
    {"ReadInputsEngineering", kModbus, {{"[01 04 00 00 00 02]", "01 04 04 EB FD EB FD"}}},
    {"ReadInputsPercent", modbus(1, kPercent), {{"[01 04 00 00 00 02]", "01 04 04 EB FD EB FD"}}},
    {"ReadInputsTwosComplement", modbus(1, kHex),
     {{"[01 04 00 00 00 02]", "01 04 04 BE 6D EB FD"}}},
    {"ReadHoldingRegisters", modbus(0x11, kHex, 19200),
     {{"[11 03 00 00 00 04]", "11 03 08 00 11 00 07 00 02 00 01"}}},
    {"ReadHoldingFromOffset", modbus(0x11, kPercent, 115200),
     {{"[11 03 00 01 00 03]", "11 03 06 00 0A 00 01 00 01"}}},
    {"WriteFormat", kModbus, {{"[01 06 00 02 00 02]", "01 06 00 02 00 02"}}, modbus(1, kHex)},
    {"WriteAddressAndSameRateWithoutJumper", kModbus,
     {{"[01 10 00 00 00 02 04 00 07 00 06]", "01 10 00 00 00 02"}}, modbus(0x07)},
    {"WriteRateAndFormatWithJumper", kModbusJumper,
     {{"[01 10 00 01 00 02 04 00 0A 00 01]", "01 10 00 01 00 02"}},
     modbus(1, kPercent, 115200, true)},
    {"OneRefusedValueRefusesTheWholeWrite", kModbus,
     {{"[01 10 00 00 00 02 04 00 07 00 0B]", refused("01 90 03")}}},
    {"UnknownFormatIsRefused", kModbus, {{"[01 06 00 02 00 03]", refused("01 86 03")}}},
    {"RateChangeWithoutJumperIsRefused", kModbus, {{"[01 06 00 01 00 07]", refused("01 86 03")}}},
    {"RateChangeWithJumperApplies", kModbusJumper, {{"[01 06 00 01 00 07]", "01 06 00 01 00 07"}},
     modbus(1, DataFormat::Engineering, 19200, true)},
    {"AddressOfAnotherModuleIsRefused", kModbus, {{"[01 06 00 00 00 05]", refused("01 86 03")}}},
    {"AddressPast247IsRefused", kModbus, {{"[01 06 00 00 00 F8]", refused("01 86 03")}}},
    {"AddressWithHighByteIsRefused", kModbus, {{"[01 06 00 00 01 2C]", refused("01 86 03")}}},
    {"RewritingOwnAddressIsAccepted", modbus(kTakenAddress),
     {{"[05 06 00 00 00 05]", "05 06 00 00 00 05"}}},
    {"AddressZeroIsRefused", kModbus, {{"[01 10 00 00 00 01 02 00 00]", refused("01 90 03")}}},
    {"CharacterProtocolWithoutJumperIsRefused", kModbus,
     {{"[01 06 00 03 00 00]", refused("01 86 03")}}},
    {"CharacterProtocolWithJumperApplies", kModbusJumper, {{"[01 06 00 03 00 00]", "01 06 00 03 00 00"}},
     modbus(1, DataFormat::Engineering, 9600, true, Protocol::Character)},
    {"UnknownFunction", kModbus,
     {{"[01 01 00 00 00 01]", "01 81 01 | exception 01 (illegal function)"}}},
    {"FunctionWithTopBitSet", kModbus,
     {{"[01 83 00 00 00 01]", "01 83 01 | exception 01 (illegal function)"}}},
    {"InputRegisterOutsideMap", kModbus, {{"[01 04 00 02 00 01]", outside("01 84 02")}}},
    {"ReadPastTheHoldingRegisters", kModbus, {{"[01 03 00 03 00 02]", outside("01 83 02")}}},
    {"WriteOutsideMap", kModbus, {{"[01 06 00 04 00 00]", outside("01 86 02")}}},
    {"ReadOfNoRegisters", kModbus, {{"[01 03 00 00 00 00]", refused("01 83 03")}}},
    {"ReadOfMoreThan125Registers", kModbus, {{"[01 03 00 00 01 02]", refused("01 83 03")}}},
    {"WriteFrameOfWrongLength", kModbus, {{"[01 06 00 02 00 01 00]", refused("01 86 03")}}},
    {"ByteCountDisagrees", kModbus, {{"[01 10 00 02 00 01 04 00 01 00 00]", refused("01 90 03")}}},
    {"BadCrcIsIgnored", kModbus, {{"{01 06 00 02 00 02 00 00}", "bad CRC"}}},
    {"TooShortForCrcIsIgnored", kModbus, {{"{01 06 00}", "bad CRC"}}},
    {"OtherAddressIsIgnored", kModbus, {{"[02 06 00 02 00 02]", "other address"}}},
    {"BroadcastWriteIsObeyedSilently", kModbus, {{"[00 06 00 02 00 01]", "broadcast"}},
     modbus(1, kPercent)},
    {"BroadcastReadIsIgnored", kModbus, {{"[00 04 00 00 00 02]", "broadcast read"}}},
    {"RefusedBroadcastChangesNothing", kModbus,
     {{"[00 06 00 02 00 09]", "broadcast, not obeyed: exception 03 (illegal data value)"}}},
};
// clang-format on

// What one step got, in the table's words.
std::string outcomeOf(SimModule &module, const Step &step)
{
    const char open = step.command.empty() ? ' ' : step.command.front();
    if (open != '[' && open != '{') {
        const Outcome outcome = module.handle(step.command, step.lineBaud, kVolts);
        const bool silent = outcome.silence != Silence::None;
        EXPECT_EQ(silent, outcome.reply.empty());
        return silent ? '(' + std::string(silenceText(outcome.silence)) + ')' : outcome.reply;
    }
    const std::string frame = bytesOf(step.command.substr(1));
    const ModbusOutcome outcome =
        answerModbus(module.state(), open == '[' ? withCrc(frame) : frame, kVolts,
                     [](int address) { return address == kTakenAddress; });
    if (outcome.reply.empty())
        return outcome.note;
    const std::string body = outcome.reply.substr(0, outcome.reply.size() - 2);
    EXPECT_EQ(hexBytes(outcome.reply), hexBytes(withCrc(body))) << "the reply's CRC";
    return hexBytes(body) + (outcome.note.empty() ? "" : " | " + outcome.note);
}

using SimProtocol = testing::TestWithParam<ProtocolCase>;

TEST_P(SimProtocol, RepliesAndState)
{
    const ProtocolCase &c = GetParam();
    SimModule module(c.start);
    for (const Step &step : c.steps) {
        SCOPED_TRACE(step.command + " at " + std::to_string(step.lineBaud));
        EXPECT_EQ(outcomeOf(module, step), step.outcome);
    }
    EXPECT_TRUE(module.state() == c.end.value_or(c.start));
}

std::string caseName(const testing::TestParamInfo<ProtocolCase> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Character, SimProtocol, testing::ValuesIn(kCharacterCases), caseName);
INSTANTIATE_TEST_SUITE_P(Modbus, SimProtocol, testing::ValuesIn(kModbusCases), caseName);

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

TEST(SimModbusCrc, MatchesThePublishedExample)
{
    EXPECT_EQ(hexBytes(withCrc(bytesOf("01 03 00 00 00 0A"))), "01 03 00 00 00 0A C5 CD");
}

// The README's register table, row for row, is the register map, and nothing more.
TEST(SimModbusRegisters, DocumentedTableMatchesTheMap)
{
    std::ifstream file(TOLVANE_README);
    ASSERT_TRUE(file) << TOLVANE_README;
    const std::string readme{std::istreambuf_iterator<char>(file), {}};
    std::string table = "| Register | Name | Table | mbpoll | Meaning | Access |\n"
                        "| --- | --- | --- | --- | --- | --- |\n";
    for (const RegisterRow &r : registerMap()) {
        const bool input = r.table == 'I';
        table += "| " + std::to_string(r.address) + " | " + r.name + " | " +
                 (input ? "input" : "holding") + " | `-t " + (input ? "3" : "4") + " -r " +
                 std::to_string(r.address + 1) + "` | " + r.meaning + " | " +
                 (input ? "read (FC 04)" : "read (FC 03), write (FC 06, FC 16)") + " |\n";
    }
    EXPECT_NE(readme.find(table + '\n'), std::string::npos) << "not in the README:\n" << table;
}

} // namespace
