#pragma once

#include <QString>

#include <cstdint>

// The window's state record: one instance for the program's life.
struct FormState
{
    std::int16_t PortNumber = 1;
    QString LastCommand;
    std::int16_t PollCount = 0; // shared by nested sends on purpose
    QString BaudCode = QStringLiteral("06");
    QString FormatCode = QStringLiteral("00");
    QString ProtocolCode = QStringLiteral("0");
    std::int16_t RepeatFlag = 0;
    double IntervalLeft = 0;
};
