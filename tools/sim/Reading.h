#pragma once

#include <optional>
#include <string>

namespace sim {

enum class DataFormat { Engineering, PercentOfFullScale, TwosComplementHex };

// Full scale of the simulated input is +-10 V; readings beyond it are clamped.
constexpr double kFullScaleVolts = 10.0;

// "00" engineering units, "01" percent of full scale, "02" two's complement hex.
std::optional<DataFormat> formatForCode(const std::string &code);
// The code for a baud rate as sent in the configuration command ("06" = 9600), either case.
std::optional<int> baudForCode(const std::string &code);
bool isModuleBaud(int baud);

// The data part of a read reply, without '>' and CR:
//   engineering "+05.123" (volts), percent "+051.23", two's complement "4193" (FS = 7FFF).
std::string formatReading(double volts, DataFormat format);

} // namespace sim
