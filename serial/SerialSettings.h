#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// A settings line "baud,parity,data bits,stop bits", e.g. "9600,N,8,1".
struct SerialSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Strict: baud a positive integer, parity one of N E O M S, data bits 5 to 8, stop bits 1, 1.5
    // or 2 (1.5 only with 5 data bits, as UARTs define it). Anything else gives nullopt.
    static std::optional<SerialSettings> parse(const QString &text);

    // What termios can express: a UART sends 1.5 stop bits for "two" when it has 5 data bits.
    QSerialPort::StopBits hostStopBits() const;
};
