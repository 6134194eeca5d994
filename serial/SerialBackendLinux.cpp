#include "serial/SerialBackend.h"

#include "core/ComLinks.h"
#include "serial/ComPortMap.h"
#include "serial/OpenFailure.h"
#include "serial/PortMessages.h"
#include "serial/TtyHangUp.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/file.h>

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

// A tty through QSerialPort. COM numbers are turned into devices by ComPortMap.
class LinuxBackend : public SerialBackend
{
public:
    LinuxBackend()
    {
        QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                         [this](QSerialPort::SerialPortError error) { onErrorOccurred(error); });
        QObject::connect(&m_hangUpWatch, &QSocketNotifier::activated, &m_hangUpWatch, [this] {
            if (m_port.isOpen() && ttyHungUp(m_port.handle()))
                loseDevice();
        });
    }

    ~LinuxBackend() override
    {
        QObject::disconnect(&m_port, nullptr, nullptr, nullptr);
        close();
    }

    QString open(int n, const SerialSettings &settings, const QString &settingsText,
                 QString &device) override
    {
        const std::optional<QString> path = m_map.devicePath(n);
        device = path.value_or(QString());
        m_device = device;
        if (!path)
            return m_map.noDeviceReason(n);
        // Qt names the lock file after the path it opens: one device under two names must share it.
        const QString canonical = QFileInfo(*path).canonicalFilePath();
        if (canonical.isEmpty())
            return noSuchDeviceText(*path);

        m_port.setPortName(canonical);
        configure(settings);
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
        if (shared)
            return inUseText(*path);
        if (!opened)
            return openFailureText(*path, canonical, settingsText, m_port.error(),
                                   m_port.errorString());

        m_settings = settings;
        // Pseudo-terminals refuse the modem-line ioctls; that is no reason to give up the port.
        m_port.setDataTerminalReady(true);
        m_port.setRequestToSend(true);
        // Qt 6.4 does not flush on open: whatever the device sent before we listened is stale.
        m_port.clear(QSerialPort::Input);
        m_port.clearError();
        m_hangUpWatch.setSocket(m_port.handle());
        m_hangUpWatch.setEnabled(true);
        return {};
    }

    QString apply(const SerialSettings &settings) override
    {
        if (configure(settings)) {
            m_settings = settings;
            return {};
        }
        // QSerialPort sets one attribute at a time: put back those that went through.
        const QString reason = m_port.errorString();
        configure(m_settings);
        m_port.clearError();
        return reason;
    }

    void close() override
    {
        // The watch lets go of the descriptor before it is closed and its number handed out again.
        m_hangUpWatch.setEnabled(false);
        if (m_port.isOpen())
            m_port.close();
    }

    bool isOpen() const override { return m_port.isOpen(); }

    bool stillThere() override
    {
        if (!m_port.isOpen())
            return false;
        if (!ttyHungUp(m_port.handle()))
            return true;
        loseDevice();
        return false;
    }

    bool discardOutput() override { return m_port.clear(QSerialPort::Output); }
    bool discardInput() override { return m_port.clear(QSerialPort::Input); }

    bool write(const QByteArray &bytes) override
    {
        m_port.clearError();
        const bool accepted = m_port.write(bytes) == bytes.size();
        // Qt 6's flush() hands the driver what it takes without waiting; any rest goes out from
        // the write notifier while the event loop runs.
        if (accepted && !bytes.isEmpty())
            m_port.flush();
        if (!m_port.isOpen())
            return false;
        if (!accepted || m_port.error() != QSerialPort::NoError) {
            const QString reason = m_port.errorString();
            m_port.clearError();
            reportFailure(ioFailedText(m_device, QStringLiteral("write"), reason));
            return false;
        }
        return true;
    }

    bool read(QByteArray &received) override
    {
        // The read notifier fills the buffer while the event loop runs. Draining the descriptor
        // here as well would let a notification already polled read nothing, which Qt reports as
        // an error.
        received.append(m_port.readAll());
        return true;
    }

private:
    bool configure(const SerialSettings &settings)
    {
        return m_port.setBaudRate(settings.baudRate) &&
               m_port.setParity(hostParity(settings.parity)) &&
               m_port.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
               m_port.setStopBits(hostStopBits(settings.stopBits));
    }

    void loseDevice()
    {
        close();
        reportLost(QStringLiteral("unplugged or closed"));
    }

    void onErrorOccurred(QSerialPort::SerialPortError error)
    {
        // Qt versions report a hung-up tty differently (Qt 6.4 as ReadError on every read of 0
        // bytes, sometimes ResourceError), so the descriptor decides, not the code.
        if (error != QSerialPort::NoError && !m_opening && m_port.isOpen() &&
            ttyHungUp(m_port.handle()))
            loseDevice();
    }

    ComPortMap m_map;
    // As the map named it, for the failures' words.
    QString m_device;
    QSerialPort m_port;
    // Fires when the open descriptor reports an error or a hang-up, whatever QSerialPort makes
    // of it; a tty carries no out-of-band data, so it stays quiet otherwise.
    QSocketNotifier m_hangUpWatch{QSocketNotifier::Exception};
    SerialSettings m_settings;
    bool m_opening = false;
};

} // namespace

std::unique_ptr<SerialBackend> systemSerialBackend()
{
    return std::make_unique<LinuxBackend>();
}

QStringList systemComToolTips()
{
    const QStringList present = ComPortMap::hostSerialPorts();
    const ComPortMap snapshot([present] { return present; });
    QStringList tips;
    for (int n = tolvane::kFirstCom; n <= tolvane::kLastCom; ++n)
        tips << snapshot.describe(n);
    return tips;
}
