#pragma once

#include "core/ModuleCodes.h"

#include <QString>

#include <cstdint>

// The window's state record: one instance for the program's life.
struct FormState
{
    std::int16_t PortNumber = 1;
    QString LastCommand;
    std::int16_t PollCount = 0; // shared by nested sends on purpose
    QString BaudCode = QString::fromLatin1(tolvane::baudCode(tolvane::kDefaultBaudRate));
    QString FormatCode = QString::fromLatin1(tolvane::kDataFormats[0].code);
    QString ProtocolCode = QString::fromLatin1(tolvane::kProtocols[0].code);
    std::int16_t RepeatFlag = 0;
    double IntervalLeft = 0;
};
