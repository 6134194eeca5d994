#include "Reading.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace sim {

namespace {
const std::pair<const char *, int> kBaudCodes[] = {
    {"01", 300},  {"02", 600},   {"03", 1200},  {"04", 2400},  {"05", 4800},
    {"06", 9600}, {"07", 19200}, {"08", 38400}, {"09", 57600}, {"0A", 115200},
};
} // namespace

std::optional<DataFormat> formatForCode(const std::string &code)
{
    if (code == "00")
        return DataFormat::Engineering;
    if (code == "01")
        return DataFormat::PercentOfFullScale;
    if (code == "02")
        return DataFormat::TwosComplementHex;
    return std::nullopt;
}

std::optional<int> baudForCode(const std::string &code)
{
    std::string upper = code;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const auto &[text, baud] : kBaudCodes) {
        if (upper == text)
            return baud;
    }
    return std::nullopt;
}

bool isModuleBaud(int baud)
{
    return std::any_of(std::begin(kBaudCodes), std::end(kBaudCodes),
                       [baud](const auto &entry) { return entry.second == baud; });
}

std::string formatReading(double volts, DataFormat format)
{
    const double clamped = std::clamp(volts, -kFullScaleVolts, kFullScaleVolts);
    char buffer[16];
    switch (format) {
    case DataFormat::Engineering:
        std::snprintf(buffer, sizeof buffer, "%+07.3f", clamped);
        break;
    case DataFormat::PercentOfFullScale:
        std::snprintf(buffer, sizeof buffer, "%+07.2f", clamped / kFullScaleVolts * 100.0);
        break;
    case DataFormat::TwosComplementHex: {
        const auto counts =
            static_cast<std::int16_t>(std::lround(clamped / kFullScaleVolts * 0x7FFF));
        std::snprintf(buffer, sizeof buffer, "%04X", static_cast<std::uint16_t>(counts));
        break;
    }
    }
    return buffer;
}

} // namespace sim
