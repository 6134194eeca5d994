#include "find/WireTime.h"

namespace wire {

std::int64_t characterUs(int rate)
{
    return rate > 0 ? (10'000'000 + rate - 1) / rate : 0;
}

std::int64_t frameGapUs(int rate)
{
    if (rate <= 0 || rate > 19200)
        return 1750;
    return (characterUs(rate) * 7 + 1) / 2;
}

ProbeTime probeTime(tolvane::Protocol protocol, int rate, int commandCharacters, int turnaroundMs)
{
    ProbeTime time;
    time.sendUs = characterUs(rate) * commandCharacters;
    time.gapUs = protocol == tolvane::Protocol::ModbusRtu ? frameGapUs(rate) : 0;
    time.turnaroundUs = std::int64_t(turnaroundMs) * 1000;
    time.firstCharacterUs = characterUs(rate);
    return time;
}

} // namespace wire
