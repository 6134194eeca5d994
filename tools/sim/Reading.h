#pragma once

#include "core/ModuleCodes.h"

#include <optional>
#include <string>

namespace sim {

using tolvane::DataFormat;

// Full scale of the simulated input is +-10 V; readings beyond it are clamped.
constexpr double kFullScaleVolts = 10.0;

// The codes as sent in the configuration and protocol commands; baud codes in either case.
std::optional<DataFormat> formatForCode(const std::string &code);
std::optional<tolvane::Protocol> protocolForCode(const std::string &code);
std::optional<int> baudForCode(const std::string &code);

// The data part of a read reply, without '>' and CR:
//   engineering "+05.123" (volts), percent "+051.23", two's complement "4193" (FS = 7FFF).
std::string formatReading(double volts, DataFormat format);
// The integer that text shows without sign and point, signed 16-bit: "+05.123" -> 5123,
// "-051.23" -> -5123, "BE6D" -> -16787. The MODBUS reading register carries it.
int readingValue(double volts, DataFormat format);

} // namespace sim
