#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The serial-port component as the tool sees it: eight operations, each of which may fail.
// Failing is normal (no such port, port closed, port already open); the operations never throw
// and never show anything. The caller decides what a failure means.
class SerialPort
{
public:
    virtual ~SerialPort() = default;

    // Selects COM port n for the next open. Fails while a port is open (the open port stays).
    virtual bool setPortNumber(std::int16_t n) = 0;
    // "baud,parity,data bits,stop bits", e.g. "9600,N,8,1". Applies at once to an open port.
    virtual bool setSettings(const QString &settings) = 0;
    // 0: a read returns everything received so far.
    virtual bool setReadLength(int length) = 0;
    // Opens or closes the selected port. Opening an open port fails and leaves it undisturbed.
    virtual bool setOpen(bool open) = 0;
    virtual bool discardOutput() = 0;
    virtual bool discardInput() = 0;
    virtual bool write(const QByteArray &bytes) = 0;
    // Appends nothing and succeeds when nothing has arrived.
    virtual bool read(QByteArray &received) = 0;
};
