#pragma once

#include "core/ModuleCodes.h"

#include <cstdint>

// How long the wire needs, in microseconds: 10 bits a character (start, 8 data, stop), at the
// rate in bits per second. Rounded up, so a wait is never a microsecond short.
namespace wire {

std::int64_t characterUs(int rate);
// The silence that ends a MODBUS RTU frame: 3.5 characters, or 1.75 ms above 19200 baud, as
// the MODBUS serial line rules fix it where 3.5 characters would be too short to keep.
std::int64_t frameGapUs(int rate);

// One probe: its characters out, the silence that ends a MODBUS request, the module's
// turnaround, and the reply's first character back. The reply has started by then or never
// will.
struct ProbeTime
{
    std::int64_t sendUs = 0;
    std::int64_t gapUs = 0;
    std::int64_t turnaroundUs = 0;
    std::int64_t firstCharacterUs = 0;
    std::int64_t totalUs() const { return sendUs + gapUs + turnaroundUs + firstCharacterUs; }
};
ProbeTime probeTime(tolvane::Protocol protocol, int rate, int commandCharacters, int turnaroundMs);

} // namespace wire
