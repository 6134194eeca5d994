#include "Reading.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace sim {

namespace {
template<typename Value, std::size_t N>
std::optional<Value> valueForCode(const tolvane::CodedEntry<Value> (&rows)[N],
                                  const std::string &code)
{
    for (const auto &row : rows) {
        if (code == row.code)
            return row.value;
    }
    return std::nullopt;
}
} // namespace

std::optional<DataFormat> formatForCode(const std::string &code)
{
    return valueForCode(tolvane::kDataFormats, code);
}

std::optional<tolvane::Protocol> protocolForCode(const std::string &code)
{
    return valueForCode(tolvane::kProtocols, code);
}

std::optional<int> baudForCode(const std::string &code)
{
    std::string upper = code;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates) {
        if (upper == baud.code)
            return baud.rate;
    }
    return std::nullopt;
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

int readingValue(double volts, DataFormat format)
{
    // Read back from the text, so that the register and the reply cannot disagree.
    std::string digits = formatReading(volts, format);
    if (format == DataFormat::TwosComplementHex) {
        const int counts = std::stoi(digits, nullptr, 16);
        return counts > 0x7FFF ? counts - 0x10000 : counts;
    }
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    return std::stoi(digits);
}

} // namespace sim
