#pragma once

#include "core/ModuleCodes.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct SimOptions
{
    std::optional<int> com; // unset: COM1, else the first free one
    int address = 0x01;
    int baud = tolvane::kDefaultBaudRate;
    bool jumperFitted = false;
    int replyDelayMs = 0;
    bool split = false;
    bool silent = false;
    std::string traceFile;
    bool help = false;
    bool version = false;
};

struct ParsedOptions
{
    SimOptions options;
    std::string error; // empty when the arguments were good
};

// Arguments without the program name. Values go as "--com 3" or "--com=3".
ParsedOptions parseOptions(const std::vector<std::string> &args);
std::string usageText();

} // namespace sim
