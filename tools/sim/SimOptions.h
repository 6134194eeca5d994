#pragma once

#include "core/ModuleCodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One module of a line, from
// "--module HH[,baud=B][,format=FF][,delay=MS][,jumper][,modbus][,name=TEXT][,firmware=TEXT]";
// what it leaves out, the line-wide options give.
struct ModuleOptions
{
    int address = 0x01;
    std::optional<int> baud;
    std::optional<tolvane::DataFormat> format;
    std::optional<int> replyDelayMs;
    bool jumperFitted = false;
    bool modbus = false;
    std::optional<std::string> name;
    std::optional<std::string> firmware;
};

struct SimOptions
{
    std::optional<int> com; // unset: COM1, else the first free one
    int address = 0x01;
    bool addressGiven = false;
    int baud = tolvane::kDefaultBaudRate;
    bool jumperFitted = false;
    int replyDelayMs = 0;
    std::vector<ModuleOptions> modules; // empty: one module at `address`
    bool instant = false;
    bool split = false;
    bool silent = false;
    // Faults: the share of replies dropped or garbled; a share of replies held back lateMs.
    double dropShare = 0;
    double garbleShare = 0;
    int lateMs = 0;
    double lateShare = 1;
    std::optional<std::uint32_t> seed;
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
