#include "SimOptions.h"

#include "SimModule.h"
#include "TextUtil.h"
#include "core/ComLinks.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

// A share of replies: a decimal fraction from 0 to 1.
std::optional<double> parseShare(const std::string &text)
{
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || value < 0 || value > 1)
        return std::nullopt;
    return value;
}

std::optional<tolvane::DataFormat> formatOfCode(const std::string &code)
{
    for (const auto &format : tolvane::kDataFormats) {
        if (code == format.code)
            return format.value;
    }
    return std::nullopt;
}

// What $AAM or $AAF answers: up to 16 printable ASCII characters; empty, the module refuses
// the question. A comma ends the field.
bool isModuleText(const std::string &text)
{
    return text.size() <= 16 && std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
}

// "HH[,baud=B][,format=FF][,delay=MS][,jumper][,modbus][,name=TEXT][,firmware=TEXT]"; "" when
// it fits, else what was wrong.
std::string parseModule(const std::string &text, ModuleOptions &module)
{
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const auto address = parseHexByte(fields.front());
    if (!address)
        return "the address as two hex digits first";
    module.address = *address;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::string &field = fields[i];
        const std::size_t eq = field.find('=');
        const std::string key = field.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : field.substr(eq + 1);
        if (field == "jumper") {
            module.jumperFitted = true;
        } else if (field == "modbus") {
            module.modbus = true;
        } else if (key == "baud" && parseNumber(value, 1, 1000000) &&
                   tolvane::baudCode(*parseNumber(value, 1, 1000000))) {
            module.baud = parseNumber(value, 1, 1000000);
        } else if (key == "format" && formatOfCode(value)) {
            module.format = formatOfCode(value);
        } else if (key == "delay" && parseNumber(value, 0, 60000)) {
            module.replyDelayMs = parseNumber(value, 0, 60000);
        } else if (key == "name" && eq != std::string::npos && isModuleText(value)) {
            module.name = value;
        } else if (key == "firmware" && eq != std::string::npos && isModuleText(value)) {
            module.firmware = value;
        } else {
            return "baud=RATE, format=00|01|02, delay=MS, jumper, modbus, name=TEXT or "
                   "firmware=TEXT (up to 16 printable characters), not '" +
                   field + "'";
        }
    }
    return "";
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
             o.addressGiven = true;
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
        {"--module",
         [](SimOptions &o, const std::string &v) -> std::string {
             ModuleOptions module;
             const std::string wrong = parseModule(v, module);
             if (!wrong.empty())
                 return wrong;
             for (const ModuleOptions &other : o.modules) {
                 if (other.address == module.address)
                     return "one module per address";
             }
             o.modules.push_back(module);
             return "";
         }},
        {"--drop",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto share = parseShare(v);
             o.dropShare = share.value_or(0);
             return share ? "" : "a share of replies from 0 to 1";
         }},
        {"--garble",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto share = parseShare(v);
             o.garbleShare = share.value_or(0);
             return share ? "" : "a share of replies from 0 to 1";
         }},
        {"--late",
         [](SimOptions &o, const std::string &v) -> std::string {
             const std::size_t comma = v.find(',');
             const auto delay = parseNumber(v.substr(0, comma), 0, 60000);
             const auto share = comma == std::string::npos ? std::optional<double>(1)
                                                           : parseShare(v.substr(comma + 1));
             o.lateMs = delay.value_or(0);
             o.lateShare = share.value_or(1);
             return delay && share ? "" : "milliseconds from 0 to 60000, then ,SHARE if not all";
         }},
        {"--seed",
         [](SimOptions &o, const std::string &v) -> std::string {
             const auto seed = parseNumber(v, 0, 999999999);
             if (seed)
                 o.seed = static_cast<std::uint32_t>(*seed);
             return seed ? "" : "a number from 0 to 999999999";
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
    if (name == "--instant")
        return &options.instant;
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
    if (result.options.addressGiven && !result.options.modules.empty())
        result.error = "--address is for a line of one module; give each address with --module";
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
           "  --module HH[,baud=B][,format=FF][,delay=MS][,jumper][,modbus][,name=TEXT]\n"
           "             [,firmware=TEXT]\n"
           "                     a module at address HH on the line; repeat for several.\n"
           "                     Unset values come from --baud, --jumper, --reply-delay;\n"
           "                     format codes 00 engineering, 01 percent, 02 hex;\n"
           "                     modbus starts it in MODBUS RTU; name and firmware are\n"
           "                     what $AAM and $AAF answer (default " +
           std::string(kDefaultName) + " and " + kDefaultFirmware +
           ", up to 16\n"
           "                     characters, no comma; empty: the module refuses them)\n"
           "  --baud B           module baud rate (default " +
           std::to_string(tolvane::kDefaultBaudRate) +
           ")\n"
           "  --jumper           configuration jumper fitted: rate and protocol may change\n"
           "  --reply-delay MS   the module's own time before each reply, in milliseconds\n"
           "  --instant          no line timing: act on a command at once, send replies whole\n"
           "  --split            send each reply in three pieces, 20 ms apart\n"
           "  --silent           never reply (commands are still traced)\n"
           "  --drop P           never send a share P (0 to 1) of the replies\n"
           "  --garble P         change one byte in a share P of the replies\n"
           "  --late MS[,P]      hold back every reply (or a share P of them) MS milliseconds\n"
           "  --seed N           seed of the faults, for a repeatable run\n"
           "  --trace FILE       append one line per received command or frame to FILE\n"
           "  --help             show this help\n"
           "  --version          show the version\n";
}

} // namespace sim
