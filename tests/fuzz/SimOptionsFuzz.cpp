// The simulated module's command line, for any arguments.
#include "FuzzCheck.h"

#include "Reading.h"
#include "SimOptions.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Arguments are the input split at NUL, as the kernel hands them over.
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty())
        return 0;
    // Accepted options are in range.
    const SimOptions &o = parsed.options;
    FUZZ_CHECK(!o.com || (*o.com >= 1 && *o.com <= kMaxCom));
    FUZZ_CHECK(o.address >= 0 && o.address <= 0xFF);
    FUZZ_CHECK(isModuleBaud(o.baud));
    FUZZ_CHECK(o.replyDelayMs >= 0 && o.replyDelayMs <= 60000);
    return 0;
}
