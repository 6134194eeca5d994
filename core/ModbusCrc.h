#pragma once

// CRC-16/MODBUS, as both ends of a MODBUS RTU line compute it. Plain C++: the simulated module
// links no Qt.

#include <cstdint>
#include <string_view>

namespace tolvane {

// Over the bytes as sent; the CRC goes on the line low byte first.
inline std::uint16_t modbusCrc(std::string_view bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

} // namespace tolvane
