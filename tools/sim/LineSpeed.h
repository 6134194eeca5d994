#pragma once

#include "core/ModuleCodes.h"

#include <termios.h>

namespace sim {

// glibc's cfsetspeed takes a rate in bits per second as well as a B constant, so the module's
// rate list is all the table from rates to termios speeds there needs to be.
inline speed_t termiosSpeed(int baud)
{
    termios settings{};
    if (::cfsetspeed(&settings, static_cast<speed_t>(baud)) != 0)
        return B0;
    return ::cfgetospeed(&settings);
}

// The module rate a termios speed stands for; 0 for any other speed.
inline int moduleBaudOf(speed_t speed)
{
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates) {
        if (termiosSpeed(baud.rate) == speed)
            return baud.rate;
    }
    return 0;
}

} // namespace sim
