// The simulated module reads whatever arrives on the line: bytes in any split, any rate.
#include "FuzzCheck.h"

#include "LineAssembler.h"
#include "SimModule.h"
#include "TextUtil.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace sim;

namespace {

bool validState(const ModuleState &s)
{
    return s.address >= 0 && s.address <= 0xFF && tolvane::baudCode(s.baud) != nullptr &&
           (s.format == DataFormat::Engineering || s.format == DataFormat::PercentOfFullScale ||
            s.format == DataFormat::TwosComplementHex) &&
           (s.protocol == Protocol::Character || s.protocol == Protocol::ModbusRtu);
}

void checkOutcome(const std::string &command, const ModuleState &before, const ModuleState &after,
                  const Outcome &outcome)
{
    FUZZ_CHECK(validState(after));
    // Without the jumper the rate and the protocol stay.
    if (!before.jumperFitted)
        FUZZ_CHECK(after.baud == before.baud && after.protocol == before.protocol);

    FUZZ_CHECK((outcome.silence == Silence::None) == !outcome.reply.empty());
    if (outcome.reply.empty())
        return;
    // One reply, ended by its only CR.
    FUZZ_CHECK(outcome.reply.find('\r') == outcome.reply.size() - 1);
    const char kind = outcome.reply.front();
    FUZZ_CHECK(kind == '>' || kind == '!' || kind == '?');
    if (kind == '>') {
        // A reading answers exactly "#AA" with the module's own address.
        FUZZ_CHECK(command.size() == 3 && command[0] == '#');
        FUZZ_CHECK(parseHexByte(command.substr(1, 2)) == before.address);
    } else if (outcome.reply.size() > 4) {
        // Text after "!AA" only answers "$AA2", "$AAM" or "$AAF", and changes nothing.
        FUZZ_CHECK(kind == '!' && outcome.reply.compare(1, 2, hexByte(after.address)) == 0);
        FUZZ_CHECK(command.size() == 4 && command[0] == '$' &&
                   std::string("2MFmf").find(command[3]) != std::string::npos);
        FUZZ_CHECK(after == before);
    } else {
        // "!AA" and "?AA" name the address the module has now.
        FUZZ_CHECK(outcome.reply == kind + hexByte(after.address) + '\r');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    ModuleState start;
    start.address = in.ConsumeIntegral<std::uint8_t>();
    start.jumperFitted = in.ConsumeBool();
    SimModule module(start);

    // Feed the bytes in pieces of the fuzzer's choosing, answering each line as it completes.
    LineAssembler assembler;
    std::string stream;
    std::vector<std::string> lines;
    while (in.remaining_bytes() > 0) {
        const std::string piece = in.ConsumeBytesAsString(in.ConsumeIntegralInRange(1, 64));
        stream += piece;
        for (const std::string &line : assembler.feed(piece.data(), piece.size())) {
            FUZZ_CHECK(line.size() <= LineAssembler::kMaxLine);
            FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
            lines.push_back(line);

            const int lineBaud = module.state().baud + (in.ConsumeBool() ? 0 : 1);
            const double volts =
                in.ConsumeFloatingPointInRange(-2 * kFullScaleVolts, 2 * kFullScaleVolts);
            const ModuleState before = module.state();
            const Outcome outcome = module.handle(line, lineBaud, volts);
            // On the wrong rate the module hears garbage, and in MODBUS RTU it ignores text:
            // silent either way, and nothing changes.
            if (lineBaud != before.baud || before.protocol == Protocol::ModbusRtu) {
                FUZZ_CHECK(outcome.silence ==
                           (lineBaud != before.baud ? Silence::BaudMismatch : Silence::Modbus));
                FUZZ_CHECK(module.state() == before);
            }
            checkOutcome(line, before, module.state(), outcome);
        }
    }

    // How the bytes were split makes no difference to the lines.
    LineAssembler whole;
    FUZZ_CHECK(whole.feed(stream.data(), stream.size()) == lines);
    return 0;
}
