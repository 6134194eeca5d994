#pragma once

#include "core/SerialPort.h"
#include "serial/SerialBackend.h"
#include "serial/SerialSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The serial port of this host behind the tool's SerialPort interface, the same on every
// platform: the port number, the settings, open and close and what the lamp shows are kept here;
// a SerialBackend (QSerialPort on Linux, the Windows serial API on Windows) does the device work.
// Nothing blocks for long and nothing is shown: lastFailure() keeps, in words, the last thing
// that needs the engineer's attention (a failed open, a lost device, bad settings). Refusals that
// leave a working port as it was (already open, not open) do not change it.
class PlatformSerialPort : public QObject, public SerialPort
{
    Q_OBJECT
public:
    explicit PlatformSerialPort(QObject *parent = nullptr);
    explicit PlatformSerialPort(std::unique_ptr<SerialBackend> backend, QObject *parent = nullptr);
    ~PlatformSerialPort() override;

    bool setPortNumber(std::int16_t n) override;
    // Settings equal to those the open port runs at are not applied again: on Windows every
    // SetCommState reinitialises the adapter, and the tool sets the rate before each command.
    bool setSettings(const QString &settings) override;
    bool setReadLength(int length) override;
    bool setOpen(bool open) override;
    bool discardOutput() override;
    bool discardInput() override;
    bool write(const QByteArray &bytes) override;
    bool read(QByteArray &received) override;

    int portNumber() const { return m_portNumber; }
    // What the last open attempt reached ("/dev/ttyUSB0", "COM3").
    QString currentDevice() const { return m_currentDevice; }
    // Empty after a successful open or close.
    QString lastFailure() const { return m_lastFailure; }
    bool isOpen() const;

    // Closes the port and lets go of its lock, without signalling: for shutdown, right before
    // the process exits.
    void release();

    // One line per COM number for the COM list's tooltips, from one look at the host's ports.
    static QStringList comToolTips();

signals:
    // The port opened, closed or failed; isOpen() and lastFailure() tell which.
    void stateChanged();
    // The device went away and the port is closed; the next open that succeeds starts afresh.
    void deviceLost();

private:
    bool open();
    bool close();
    void fail(const QString &failure);
    void loseDevice(const QString &reason);

    std::unique_ptr<SerialBackend> m_backend;
    SerialSettings m_settings;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    // What the open port runs at.
    std::optional<SerialSettings> m_applied;
    std::int16_t m_portNumber = 1;
    QString m_currentDevice;
    QString m_lastFailure;
};
