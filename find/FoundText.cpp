#include "find/FoundText.h"

#include "find/Probes.h"

namespace foundText {

QString address(const FoundModule &module)
{
    if (module.protocol == tolvane::Protocol::ModbusRtu)
        return QStringLiteral("%1 (%2)").arg(module.address).arg(hexByte(module.address));
    return hexByte(module.address);
}

QString protocol(tolvane::Protocol protocol)
{
    return protocol == tolvane::Protocol::ModbusRtu ? QStringLiteral("MODBUS RTU")
                                                    : QStringLiteral("character");
}

QString format(const QString &formatCode)
{
    for (const auto &format : tolvane::kDataFormats) {
        if (formatCode == QLatin1String(format.code))
            return formatCode + QLatin1Char(' ') + QString::fromLatin1(format.meaning).toLower();
    }
    return formatCode;
}

QString howToTalk(const FoundModule &module)
{
    if (module.protocol == tolvane::Protocol::ModbusRtu)
        return QStringLiteral("a MODBUS RTU master on COM%1 at %2 baud, address %3")
            .arg(module.com)
            .arg(module.rate)
            .arg(module.address);
    return QStringLiteral("COM%1, baud %2, command #%3")
        .arg(module.com)
        .arg(module.rate)
        .arg(hexByte(module.address));
}

QString duration(std::int64_t milliseconds)
{
    if (milliseconds < 10000)
        return QStringLiteral("%1 s").arg(double(milliseconds) / 1000, 0, 'f', 1);
    const std::int64_t seconds = (milliseconds + 999) / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    return QStringLiteral("%1 min %2 s")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace foundText
