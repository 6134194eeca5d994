#pragma once

#include "core/SerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/SerialSettings.h"

#include <QObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>

// The serial port of this host behind the tool's SerialPort interface. COM numbers are turned into
// devices by ComPortMap; QSerialPort does the I/O. Nothing blocks for long and nothing is shown:
// lastFailure() keeps, in words, the last thing that needs the engineer's attention (a failed
// open, a lost device, bad settings). Refusals that leave a working port as it was (already
// open, not open) do not change it.
class HostSerialPort : public QObject, public SerialPort
{
    Q_OBJECT
public:
    explicit HostSerialPort(ComPortMap map = ComPortMap(), QObject *parent = nullptr);
    ~HostSerialPort() override;

    bool setPortNumber(std::int16_t n) override;
    bool setSettings(const QString &settings) override;
    bool setReadLength(int length) override;
    bool setOpen(bool open) override;
    bool discardOutput() override;
    bool discardInput() override;
    bool write(const QByteArray &bytes) override;
    bool read(QByteArray &received) override;

    int portNumber() const { return m_portNumber; }
    // The device path of the last open attempt.
    QString currentDevice() const { return m_currentDevice; }
    // Empty after a successful open or close.
    QString lastFailure() const { return m_lastFailure; }
    bool isOpen() const;

    // Closes the port and removes its lock file, without signalling: for shutdown, right before
    // the process exits.
    void release();

    // One line per COM number for the COM list's tooltips, from one scan of the host's ports.
    static QStringList comToolTips();

signals:
    // The port opened, closed or failed; isOpen() and lastFailure() tell which.
    void stateChanged();
    // The device went away and the port is closed; the next open that succeeds starts afresh.
    void deviceLost();

private:
    bool open();
    bool close();
    bool applySettings(const SerialSettings &settings);
    void closePort();
    bool deviceStillThere();
    void loseDevice();
    void fail(const QString &failure);
    void onErrorOccurred(QSerialPort::SerialPortError error);

    ComPortMap m_map;
    QSerialPort m_port;
    // Fires when the open descriptor reports an error or a hang-up, whatever QSerialPort makes
    // of it; a tty carries no out-of-band data, so it stays quiet otherwise.
    QSocketNotifier m_hangUpWatch{QSocketNotifier::Exception};
    SerialSettings m_settings;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    std::int16_t m_portNumber = 1;
    QString m_currentDevice;
    QString m_lastFailure;
    bool m_opening = false;
};
