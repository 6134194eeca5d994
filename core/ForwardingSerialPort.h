#pragma once

#include "core/SerialPort.h"

// A serial port that hands every operation to another one. A benchmark, a soak or a test harness
// derives from it to watch the operations it cares about and leaves the rest alone.
class ForwardingSerialPort : public SerialPort
{
public:
    explicit ForwardingSerialPort(SerialPort &inner)
        : m_inner(inner)
    {}

    bool setPortNumber(std::int16_t n) override { return m_inner.setPortNumber(n); }
    bool setSettings(const QString &settings) override { return m_inner.setSettings(settings); }
    bool setReadLength(int length) override { return m_inner.setReadLength(length); }
    bool setOpen(bool open) override { return m_inner.setOpen(open); }
    bool discardOutput() override { return m_inner.discardOutput(); }
    bool discardInput() override { return m_inner.discardInput(); }
    bool write(const QByteArray &bytes) override { return m_inner.write(bytes); }
    bool read(QByteArray &received) override { return m_inner.read(received); }

private:
    SerialPort &m_inner;
};
