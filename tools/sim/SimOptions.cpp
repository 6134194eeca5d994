#include "SimOptions.h"

#include "TextUtil.h"
#include "core/ComLinks.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace sim {

namespace {
std::string comRange()
{
    return std::to_string(tolvane::kFirstCom) + " to " + std::to_string(tolvane::kLastCom);
}

std::string moduleRates()
{
    std::string rates;
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates)
        rates += (rates.empty() ? "" : " ") + std::to_string(baud.rate);
    return rates;
}

std::optional<int> parseNumber(const std::string &text, int min, int max)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    const int value = std::stoi(text);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

// Each setter returns what was expected when the value does not fit, or "" when it took it.
using Setter = std::function<std::string(SimOptions &, const std::string &)>;

const std::map<std::string, Setter> &valueOptions()
{
    static const std::map<std::string, Setter> options = {
        {"--com",
         [](SimOptions &o, const std::string &v) -> std::string {
             o.com = parseNumber(v, tolvane::kFirstCom, tolvane::kLastCom);
             return o.com ? "" : "a number from " + comRange();
         }},
        {"--address",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto address = parseHexByte(v);
             o.address = address.value_or(0);
             return address ? "" : "two hex digits, 00 to FF";
         }},
        {"--baud",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto baud = parseNumber(v, 1, 1000000);
             o.baud = baud.value_or(0);
             return baud && tolvane::baudCode(*baud) ? "" : "one of " + moduleRates();
         }},
        {"--reply-delay",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto delay = parseNumber(v, 0, 60000);
             o.replyDelayMs = delay.value_or(0);
             return delay ? "" : "milliseconds from 0 to 60000";
         }},
        {"--trace",
         [](SimOptions &o, const std::string &v) -> std::string {
             o.traceFile = v;
             return v.empty() ? "a file name" : "";
         }},
    };
    return options;
}

bool *flagFor(SimOptions &options, const std::string &name)
{
    if (name == "--jumper")
        return &options.jumperFitted;
    if (name == "--split")
        return &options.split;
    if (name == "--silent")
        return &options.silent;
    if (name == "--help" || name == "-h")
        return &options.help;
    if (name == "--version")
        return &options.version;
    return nullptr;
}
} // namespace

ParsedOptions parseOptions(const std::vector<std::string> &args)
{
    ParsedOptions result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (bool *flag = flagFor(result.options, name)) {
            if (value) {
                result.error = name + " takes no value";
                return result;
            }
            *flag = true;
            continue;
        }
        const auto setter = valueOptions().find(name);
        if (setter == valueOptions().end()) {
            result.error =
                (name.rfind('-', 0) == 0 ? "unknown option '" : "unexpected argument '") + name +
                "'";
            return result;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = args[++i];
        }
        const std::string expected = setter->second(result.options, *value);
        if (!expected.empty()) {
            result.error = name + ": expected " + expected + ", got '" + *value + "'";
            return result;
        }
    }
    return result;
}

std::string usageText()
{
    return "Usage: tolvane-sim [options]\n"
           "A simulated measurement module on a pseudo-terminal, bound to a COM number of\n"
           "the tool through the link ${XDG_CONFIG_HOME:-~/.config}/tolvane/comN.\n"
           "Prints 'tolvane-sim: COM<N> -> <slave path>' once ready; ends on INT, TERM, HUP.\n"
           "\n"
           "  --com N            bind COM N (" +
           comRange() +
           "); default COM1, else the first free one\n"
           "  --address HH       module address, two hex digits (default 01)\n"
           "  --baud B           module baud rate (default " +
           std::to_string(tolvane::kDefaultBaudRate) +
           ")\n"
           "  --jumper           configuration jumper fitted: rate and protocol may change\n"
           "  --reply-delay MS   wait MS milliseconds before each reply\n"
           "  --split            send each reply in three pieces, 20 ms apart\n"
           "  --silent           never reply (commands are still traced)\n"
           "  --trace FILE       append one line per received command to FILE\n"
           "  --help             show this help\n"
           "  --version          show the version\n";
}

} // namespace sim
