#include "serial/PlatformSerialPort.h"

#include "core/ComLinks.h"
#include "serial/PortMessages.h"

#include <utility>

PlatformSerialPort::PlatformSerialPort(QObject *parent)
    : PlatformSerialPort(systemSerialBackend(), parent)
{}

PlatformSerialPort::PlatformSerialPort(std::unique_ptr<SerialBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend))
{
    m_backend->setListener({[this](const QString &reason) { loseDevice(reason); },
                            [this](const QString &failure) { fail(failure); }});
}

PlatformSerialPort::~PlatformSerialPort()
{
    m_backend->setListener({});
    m_backend->close();
}

bool PlatformSerialPort::setPortNumber(std::int16_t n)
{
    if (isOpen())
        return false;
    if (n < tolvane::kFirstCom || n > tolvane::kLastCom) {
        fail(outOfRangeText(n));
        return false;
    }
    m_portNumber = n;
    return true;
}

bool PlatformSerialPort::setSettings(const QString &settings)
{
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        fail(settingsNotUnderstoodText(settings));
        return false;
    }
    if (isOpen() && parsed != m_applied) {
        const QString refused = m_backend->apply(*parsed);
        if (!refused.isEmpty()) {
            fail(settingsRefusedText(m_currentDevice, settings, refused));
            return false;
        }
        m_applied = parsed;
    }
    m_settings = *parsed;
    m_settingsText = settings.trimmed();
    return true;
}

bool PlatformSerialPort::setReadLength(int length)
{
    if (length == 0)
        return true;
    fail(readLengthText(length));
    return false;
}

bool PlatformSerialPort::setOpen(bool open)
{
    return open ? this->open() : close();
}

bool PlatformSerialPort::open()
{
    if (isOpen())
        return false;
    const QString failure =
        m_backend->open(m_portNumber, m_settings, m_settingsText, m_currentDevice);
    if (!failure.isEmpty()) {
        fail(failure);
        return false;
    }
    m_applied = m_settings;
    m_lastFailure.clear();
    emit stateChanged();
    return true;
}

bool PlatformSerialPort::close()
{
    if (!isOpen())
        return true;
    m_backend->close();
    m_lastFailure.clear();
    emit stateChanged();
    return true;
}

void PlatformSerialPort::release()
{
    m_backend->close();
}

bool PlatformSerialPort::discardOutput()
{
    return m_backend->stillThere() && m_backend->discardOutput();
}

bool PlatformSerialPort::discardInput()
{
    return m_backend->stillThere() && m_backend->discardInput();
}

bool PlatformSerialPort::write(const QByteArray &bytes)
{
    return m_backend->stillThere() && m_backend->write(bytes);
}

bool PlatformSerialPort::read(QByteArray &received)
{
    return m_backend->stillThere() && m_backend->read(received);
}

bool PlatformSerialPort::isOpen() const
{
    return m_backend->isOpen();
}

void PlatformSerialPort::fail(const QString &failure)
{
    m_lastFailure = failure;
    emit stateChanged();
}

void PlatformSerialPort::loseDevice(const QString &reason)
{
    fail(deviceGoneText(m_currentDevice, reason));
    emit deviceLost();
}

QStringList PlatformSerialPort::comToolTips()
{
    return systemComToolTips();
}
