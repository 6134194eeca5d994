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

std::optional<QSerialPort::Parity> parseParity(const QString &field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.at(0).toUpper().toLatin1()) {
    case 'N':
        return QSerialPort::NoParity;
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> parseDataBits(const QString &field)
{
    if (field == QLatin1String("5"))
        return QSerialPort::Data5;
    if (field == QLatin1String("6"))
        return QSerialPort::Data6;
    if (field == QLatin1String("7"))
        return QSerialPort::Data7;
    if (field == QLatin1String("8"))
        return QSerialPort::Data8;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> parseStopBits(const QString &field)
{
    if (field == QLatin1String("1"))
        return QSerialPort::OneStop;
    if (field == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (field == QLatin1String("2"))
        return QSerialPort::TwoStop;
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
    if (*stopBits == QSerialPort::OneAndHalfStop && *dataBits != QSerialPort::Data5)
        return std::nullopt;

    SerialSettings settings;
    settings.baudRate = *baudRate;
    settings.parity = *parity;
    settings.dataBits = *dataBits;
    settings.stopBits = *stopBits;
    return settings;
}

QSerialPort::StopBits SerialSettings::hostStopBits() const
{
    return stopBits == QSerialPort::OneAndHalfStop ? QSerialPort::TwoStop : stopBits;
}
