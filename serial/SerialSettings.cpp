#include "serial/SerialSettings.h"

#include <QStringList>

#include <limits>

namespace {

std::optional<qint32> parseBaudRate(const QString &field)
{
    if (field.isEmpty())
        return std::nullopt;
    for (const QChar c : field) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong value = field.toLongLong(&ok);
    if (!ok || value <= 0 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

std::optional<SerialSettings::Parity> parseParity(const QString &field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.at(0).toUpper().toLatin1()) {
    case 'N':
        return SerialSettings::Parity::None;
    case 'E':
        return SerialSettings::Parity::Even;
    case 'O':
        return SerialSettings::Parity::Odd;
    case 'M':
        return SerialSettings::Parity::Mark;
    case 'S':
        return SerialSettings::Parity::Space;
    default:
        return std::nullopt;
    }
}

std::optional<int> parseDataBits(const QString &field)
{
    if (field.size() == 1 && field.at(0) >= QLatin1Char('5') && field.at(0) <= QLatin1Char('8'))
        return field.at(0).unicode() - '0';
    return std::nullopt;
}

std::optional<SerialSettings::StopBits> parseStopBits(const QString &field)
{
    if (field == QLatin1String("1"))
        return SerialSettings::StopBits::One;
    if (field == QLatin1String("1.5"))
        return SerialSettings::StopBits::OneAndHalf;
    if (field == QLatin1String("2"))
        return SerialSettings::StopBits::Two;
    return std::nullopt;
}

} // namespace

std::optional<SerialSettings> SerialSettings::parse(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;

    const auto baudRate = parseBaudRate(fields.at(0).trimmed());
    const auto parity = parseParity(fields.at(1).trimmed());
    const auto dataBits = parseDataBits(fields.at(2).trimmed());
    const auto stopBits = parseStopBits(fields.at(3).trimmed());
    if (!baudRate || !parity || !dataBits || !stopBits)
        return std::nullopt;
    if (*stopBits == StopBits::OneAndHalf && *dataBits != 5)
        return std::nullopt;

    SerialSettings settings;
    settings.baudRate = *baudRate;
    settings.parity = *parity;
    settings.dataBits = *dataBits;
    settings.stopBits = *stopBits;
    return settings;
}
