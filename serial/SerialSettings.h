#pragma once

#include <QString>

#include <optional>

// A settings line "baud,parity,data bits,stop bits", e.g. "9600,N,8,1". Plain values, so that
// each platform's serial port turns them into its own API's terms.
struct SerialSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Strict: baud a positive integer, parity one of N E O M S, data bits 5 to 8, stop bits 1, 1.5
    // or 2 (1.5 only with 5 data bits, as UARTs define it). Anything else gives nullopt.
    static std::optional<SerialSettings> parse(const QString &text);

    bool operator==(const SerialSettings &other) const
    {
        return baudRate == other.baudRate && parity == other.parity && dataBits == other.dataBits &&
               stopBits == other.stopBits;
    }
    bool operator!=(const SerialSettings &other) const { return !(*this == other); }
};
