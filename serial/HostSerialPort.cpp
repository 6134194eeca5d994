#include "serial/HostSerialPort.h"

#include "serial/OpenFailure.h"
#include "serial/TtyHangUp.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/file.h>
#include <utility>

namespace {

// Big enough for any reply; a device that floods the port cannot make the buffer grow without end.
constexpr qint64 ReadBufferSize = 1024;

QSerialPort::Parity hostParity(SerialSettings::Parity parity)
{
    switch (parity) {
    case SerialSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case SerialSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case SerialSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case SerialSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case SerialSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

// What termios can express: a UART sends 1.5 stop bits for "two" when it has 5 data bits.
QSerialPort::StopBits hostStopBits(SerialSettings::StopBits stopBits)
{
    return stopBits == SerialSettings::StopBits::One ? QSerialPort::OneStop : QSerialPort::TwoStop;
}

} // namespace

HostSerialPort::HostSerialPort(ComPortMap map, QObject *parent)
    : QObject(parent)
    , m_map(std::move(map))
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &HostSerialPort::onErrorOccurred);
    connect(&m_hangUpWatch, &QSocketNotifier::activated, this, [this] {
        if (m_port.isOpen() && ttyHungUp(m_port.handle()))
            loseDevice();
    });
}

HostSerialPort::~HostSerialPort()
{
    disconnect(&m_port, nullptr, this, nullptr);
    closePort();
}

bool HostSerialPort::setPortNumber(std::int16_t n)
{
    if (m_port.isOpen())
        return false;
    if (n < tolvane::kFirstCom || n > tolvane::kLastCom) {
        fail(m_map.noDeviceReason(n));
        return false;
    }
    m_portNumber = n;
    return true;
}

bool HostSerialPort::setSettings(const QString &settings)
{
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        fail(QStringLiteral("settings \"%1\" not understood (expected baud,parity,data bits,stop "
                            "bits such as 9600,N,8,1)")
                 .arg(settings));
        return false;
    }
    if (m_port.isOpen() && !applySettings(*parsed)) {
        const QString reason = m_port.errorString();
        applySettings(m_settings);
        m_port.clearError();
        fail(QStringLiteral("%1 refused the settings %2 (%3)")
                 .arg(m_currentDevice, settings, reason));
        return false;
    }
    m_settings = *parsed;
    m_settingsText = settings.trimmed();
    return true;
}

bool HostSerialPort::setReadLength(int length)
{
    if (length == 0)
        return true;
    fail(QStringLiteral("read length %1 is not supported (only 0: everything received)")
             .arg(length));
    return false;
}

bool HostSerialPort::setOpen(bool open)
{
    return open ? this->open() : close();
}

bool HostSerialPort::open()
{
    if (m_port.isOpen())
        return false;

    const std::optional<QString> device = m_map.devicePath(m_portNumber);
    m_currentDevice = device.value_or(QString());
    if (!device) {
        fail(m_map.noDeviceReason(m_portNumber));
        return false;
    }
    // Qt names the lock file after the path it opens: one device under two names must share it.
    const QString canonical = QFileInfo(*device).canonicalFilePath();
    if (canonical.isEmpty()) {
        fail(QStringLiteral("no such device: %1").arg(*device));
        return false;
    }

    m_port.setPortName(canonical);
    applySettings(m_settings);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(ReadBufferSize);
    m_port.clearError();
    m_opening = true;
    const bool opened = m_port.open(QIODevice::ReadWrite);
    // As root, TIOCEXCL and the lock file do not keep out a terminal program; those that take
    // flock (picocom, tio) and this one keep each other out. Closing the port releases it.
    const bool shared =
        opened && ::flock(m_port.handle(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (shared)
        m_port.close();
    m_opening = false;
    if (shared) {
        fail(inUseText(*device));
        return false;
    }
    if (!opened) {
        fail(openFailureText(*device, canonical, m_settingsText, m_port.error(),
                             m_port.errorString()));
        return false;
    }

    // Pseudo-terminals refuse the modem-line ioctls; that is no reason to give up the port.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    // Qt 6.4 does not flush on open: whatever the device sent before we listened is stale.
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
    m_hangUpWatch.setSocket(m_port.handle());
    m_hangUpWatch.setEnabled(true);
    m_lastFailure.clear();
    emit stateChanged();
    return true;
}

bool HostSerialPort::close()
{
    if (!m_port.isOpen())
        return true;
    closePort();
    m_lastFailure.clear();
    emit stateChanged();
    return true;
}

void HostSerialPort::release()
{
    closePort();
}

void HostSerialPort::closePort()
{
    // The watch lets go of the descriptor before it is closed and its number handed out again.
    m_hangUpWatch.setEnabled(false);
    if (m_port.isOpen())
        m_port.close();
}

bool HostSerialPort::applySettings(const SerialSettings &settings)
{
    return m_port.setBaudRate(settings.baudRate) && m_port.setParity(hostParity(settings.parity)) &&
           m_port.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
           m_port.setStopBits(hostStopBits(settings.stopBits));
}

bool HostSerialPort::discardOutput()
{
    return deviceStillThere() && m_port.clear(QSerialPort::Output);
}

bool HostSerialPort::discardInput()
{
    return deviceStillThere() && m_port.clear(QSerialPort::Input);
}

bool HostSerialPort::write(const QByteArray &bytes)
{
    if (!deviceStillThere())
        return false;
    m_port.clearError();
    const bool accepted = m_port.write(bytes) == bytes.size();
    // Qt 6's flush() hands the driver what it takes without waiting; any rest goes out from the
    // write notifier while the event loop runs.
    if (accepted && !bytes.isEmpty())
        m_port.flush();
    if (!m_port.isOpen())
        return false;
    if (!accepted || m_port.error() != QSerialPort::NoError) {
        fail(QStringLiteral("%1: write failed: %2").arg(m_currentDevice, m_port.errorString()));
        m_port.clearError();
        return false;
    }
    return true;
}

bool HostSerialPort::read(QByteArray &received)
{
    if (!deviceStillThere())
        return false;
    // The read notifier fills the buffer while the event loop runs. Draining the descriptor here
    // as well would let a notification already polled read nothing, which Qt reports as an error.
    received.append(m_port.readAll());
    return true;
}

bool HostSerialPort::isOpen() const
{
    return m_port.isOpen();
}

bool HostSerialPort::deviceStillThere()
{
    if (!m_port.isOpen())
        return false;
    if (!ttyHungUp(m_port.handle()))
        return true;
    loseDevice();
    return false;
}

void HostSerialPort::loseDevice()
{
    closePort();
    fail(QStringLiteral("%1: device went away (unplugged or closed)").arg(m_currentDevice));
    emit deviceLost();
}

void HostSerialPort::fail(const QString &failure)
{
    m_lastFailure = failure;
    emit stateChanged();
}

void HostSerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Qt versions report a hung-up tty differently (Qt 6.4 as ReadError on every read of 0 bytes,
    // sometimes ResourceError), so the descriptor decides, not the code.
    if (error != QSerialPort::NoError && !m_opening && m_port.isOpen() &&
        ttyHungUp(m_port.handle()))
        loseDevice();
}

QStringList HostSerialPort::comToolTips()
{
    const QStringList present = ComPortMap::hostSerialPorts();
    const ComPortMap snapshot([present] { return present; });
    QStringList tips;
    for (int n = tolvane::kFirstCom; n <= tolvane::kLastCom; ++n)
        tips << snapshot.describe(n);
    return tips;
}
