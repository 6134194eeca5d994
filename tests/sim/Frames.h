#pragma once

#include "ModbusModule.h"

#include <cstdint>
#include <sstream>
#include <string>

// The tables write MODBUS frames as hex, "01 04 00 00 00 02"; these are their bytes.
inline std::string bytesOf(const std::string &hex)
{
    std::string bytes;
    std::istringstream in(hex);
    for (unsigned value = 0; in >> std::hex >> value;)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

inline std::string withCrc(const std::string &frame)
{
    const std::uint16_t crc = sim::modbusCrc(frame);
    return frame + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
}
