#pragma once

#include "core/ModuleCodes.h"

#include <chrono>
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

// Bits per second of any standard termios speed; 0 for B0 or one not known here.
inline int rateOf(speed_t speed)
{
    constexpr int kRates[] = {50,    75,     110,    134,    150,    200,    300,    600,
                              1200,  1800,   2400,   4800,   9600,   19200,  38400,  57600,
                              115200, 230400, 460800, 500000, 576000, 921600, 1000000};
    for (const int rate : kRates) {
        if (termiosSpeed(rate) == speed)
            return rate;
    }
    return 0;
}

// A character on the wire: start bit, 8 data bits, stop bit.
inline std::chrono::nanoseconds characterTime(int rate)
{
    return std::chrono::nanoseconds(rate > 0 ? 10'000'000'000LL / rate : 0);
}

// The silence that ends a MODBUS RTU frame: 3.5 characters, or 1.75 ms above 19200 baud where
// that would be shorter than a UART can be relied on to keep.
inline std::chrono::nanoseconds frameGap(int rate)
{
    if (rate <= 0 || rate > 19200)
        return std::chrono::microseconds(1750);
    return characterTime(rate) * 7 / 2;
}

} // namespace sim
