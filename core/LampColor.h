#pragma once

#include <cstdint>

// Fill colours of the port lamp.
struct LampColor
{
    std::uint8_t red, green, blue;
    friend bool operator==(LampColor a, LampColor b)
    {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    }
};

inline constexpr LampColor LampGrey{192, 192, 192};
inline constexpr LampColor LampGreen{0, 255, 0};
