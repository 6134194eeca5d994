#include "Frames.h"
#include "ModbusModule.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

using namespace sim;

namespace {

constexpr double kVolts = -5.123; // -5123 mV = EBFD; BE6D in counts
constexpr int kTakenAddress = 0x05;

struct ModbusCase
{
    const char *name;
    ModuleState start;
    const char *frame;   // the CRC is appended unless asIs
    std::string outcome; // the reply without its CRC, then " | note"; or the note alone
    ModuleState end;
    bool asIs = false;
};

ModuleState modbus(int address = 0x01, DataFormat format = DataFormat::Engineering, int baud = 9600,
                   bool jumper = false, Protocol protocol = Protocol::ModbusRtu)
{
    return {address, format, baud, protocol, jumper};
}

const ModuleState kModbus = modbus();
const ModuleState kJumper = modbus(0x01, DataFormat::Engineering, 9600, true);
constexpr auto kPercent = DataFormat::PercentOfFullScale;
constexpr auto kHex = DataFormat::TwosComplementHex;

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
const ModbusCase kModbusCases[] = {
    {"ReadInputsEngineering", kModbus, "01 04 00 00 00 02", "01 04 04 EB FD EB FD", kModbus},
    {"ReadInputsPercent", modbus(1, kPercent), "01 04 00 00 00 02", "01 04 04 EB FD EB FD",
     modbus(1, kPercent)},
    {"ReadInputsTwosComplement", modbus(1, kHex), "01 04 00 00 00 02", "01 04 04 BE 6D EB FD",
     modbus(1, kHex)},
    {"ReadHoldingRegisters", modbus(0x11, kHex, 19200), "11 03 00 00 00 04",
     "11 03 08 00 11 00 07 00 02 00 01", modbus(0x11, kHex, 19200)},
    {"ReadHoldingFromOffset", modbus(0x11, kPercent, 115200), "11 03 00 01 00 03",
     "11 03 06 00 0A 00 01 00 01", modbus(0x11, kPercent, 115200)},
    {"WriteFormat", kModbus, "01 06 00 02 00 02", "01 06 00 02 00 02", modbus(1, kHex)},
    {"WriteAddressAndSameRateWithoutJumper", kModbus, "01 10 00 00 00 02 04 00 07 00 06",
     "01 10 00 00 00 02", modbus(0x07)},
    {"WriteRateAndFormatWithJumper", kJumper, "01 10 00 01 00 02 04 00 0A 00 01",
     "01 10 00 01 00 02", modbus(1, kPercent, 115200, true)},
    {"OneRefusedValueRefusesTheWholeWrite", kModbus, "01 10 00 00 00 02 04 00 07 00 0B",
     refused("01 90 03"), kModbus},
    {"UnknownFormatIsRefused", kModbus, "01 06 00 02 00 03", refused("01 86 03"), kModbus},
    {"RateChangeWithoutJumperIsRefused", kModbus, "01 06 00 01 00 07", refused("01 86 03"), kModbus},
    {"RateChangeWithJumperApplies", kJumper, "01 06 00 01 00 07", "01 06 00 01 00 07",
     modbus(1, DataFormat::Engineering, 19200, true)},
    {"AddressOfAnotherModuleIsRefused", kModbus, "01 06 00 00 00 05", refused("01 86 03"), kModbus},
    {"AddressPast247IsRefused", kModbus, "01 06 00 00 00 F8", refused("01 86 03"), kModbus},
    {"AddressWithHighByteIsRefused", kModbus, "01 06 00 00 01 2C", refused("01 86 03"), kModbus},
    {"RewritingOwnAddressIsAccepted", modbus(kTakenAddress), "05 06 00 00 00 05", "05 06 00 00 00 05",
     modbus(kTakenAddress)},
    {"AddressZeroIsRefused", kModbus, "01 10 00 00 00 01 02 00 00", refused("01 90 03"), kModbus},
    {"CharacterProtocolWithoutJumperIsRefused", kModbus, "01 06 00 03 00 00", refused("01 86 03"),
     kModbus},
    {"CharacterProtocolWithJumperApplies", kJumper, "01 06 00 03 00 00", "01 06 00 03 00 00",
     modbus(1, DataFormat::Engineering, 9600, true, Protocol::Character)},
    {"UnknownFunction", kModbus, "01 01 00 00 00 01", "01 81 01 | exception 01 (illegal function)",
     kModbus},
    {"FunctionWithTopBitSet", kModbus, "01 83 00 00 00 01",
     "01 83 01 | exception 01 (illegal function)", kModbus},
    {"InputRegisterOutsideMap", kModbus, "01 04 00 02 00 01", outside("01 84 02"), kModbus},
    {"ReadPastTheHoldingRegisters", kModbus, "01 03 00 03 00 02", outside("01 83 02"), kModbus},
    {"WriteOutsideMap", kModbus, "01 06 00 04 00 00", outside("01 86 02"), kModbus},
    {"ReadOfNoRegisters", kModbus, "01 03 00 00 00 00", refused("01 83 03"), kModbus},
    {"ReadOfMoreThan125Registers", kModbus, "01 03 00 00 01 02", refused("01 83 03"), kModbus},
    {"WriteFrameOfWrongLength", kModbus, "01 06 00 02 00 01 00", refused("01 86 03"), kModbus},
    {"ByteCountDisagrees", kModbus, "01 10 00 02 00 01 04 00 01 00 00", refused("01 90 03"),
     kModbus},
    {"BadCrcIsIgnored", kModbus, "01 06 00 02 00 02 00 00", "bad CRC", kModbus, true},
    {"TooShortForCrcIsIgnored", kModbus, "01 06 00", "bad CRC", kModbus, true},
    {"OtherAddressIsIgnored", kModbus, "02 06 00 02 00 02", "other address", kModbus},
    {"BroadcastWriteIsObeyedSilently", kModbus, "00 06 00 02 00 01", "broadcast",
     modbus(1, kPercent)},
    {"BroadcastReadIsIgnored", kModbus, "00 04 00 00 00 02", "broadcast read", kModbus},
    {"RefusedBroadcastChangesNothing", kModbus, "00 06 00 02 00 09",
     "broadcast, not obeyed: exception 03 (illegal data value)", kModbus},
};
// clang-format on

void PrintTo(const ModbusCase &c, std::ostream *os)
{
    *os << c.name;
}

using SimModbus = testing::TestWithParam<ModbusCase>;

TEST_P(SimModbus, ReplyNoteAndState)
{
    const ModbusCase &c = GetParam();
    ModuleState state = c.start;
    const std::string frame = c.asIs ? bytesOf(c.frame) : withCrc(bytesOf(c.frame));
    const ModbusOutcome outcome =
        answerModbus(state, frame, kVolts, [](int address) { return address == kTakenAddress; });
    std::string seen = outcome.note;
    if (!outcome.reply.empty()) {
        ASSERT_GE(outcome.reply.size(), 4u);
        const std::string body = outcome.reply.substr(0, outcome.reply.size() - 2);
        EXPECT_EQ(hexBytes(outcome.reply), hexBytes(withCrc(body))) << "the reply's CRC";
        seen = hexBytes(body) + (seen.empty() ? "" : " | " + seen);
    }
    EXPECT_EQ(seen, c.outcome);
    EXPECT_TRUE(state == c.end);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimModbus, testing::ValuesIn(kModbusCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The register's sign is lost in its 16 bits; readingValue keeps it.
TEST(SimReadingValue, TwosComplementIsSigned)
{
    EXPECT_EQ(readingValue(kVolts, kHex), -0x4193);
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
