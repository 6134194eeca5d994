#pragma once

#include "core/SerialPort.h"
#include "serial/SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWinEventNotifier>

#include <memory>

// The serial port on the Windows serial API behind the tool's SerialPort interface. COMn is the
// system's own \\.\COMn, opened exclusively. Reads and writes are overlapped and finish through
// QWinEventNotifier while the event loop runs, so nothing blocks the window. Nothing is shown:
// lastFailure() keeps, in words, the last thing that needs the engineer's attention (a failed
// open, a lost device, bad settings). Refusals that leave a working port as it was (already
// open, not open) do not change it.
class WinSerialPort : public QObject, public SerialPort
{
    Q_OBJECT
public:
    explicit WinSerialPort(QObject *parent = nullptr);
    ~WinSerialPort() override;

    bool setPortNumber(std::int16_t n) override;
    bool setSettings(const QString &settings) override;
    bool setReadLength(int length) override;
    bool setOpen(bool open) override;
    bool discardOutput() override;
    bool discardInput() override;
    bool write(const QByteArray &bytes) override;
    bool read(QByteArray &received) override;

    int portNumber() const { return m_portNumber; }
    // The port name of the last open attempt ("COM3").
    QString currentDevice() const { return m_currentDevice; }
    // Empty after a successful open or close.
    QString lastFailure() const { return m_lastFailure; }
    bool isOpen() const;

    // Closes the port without signalling: for shutdown, right before the process exits.
    void release();

    // One line per COM number for the COM list's tooltips: whether the system has the port now.
    static QStringList comToolTips();

signals:
    // The port opened, closed or failed; isOpen() and lastFailure() tell which.
    void stateChanged();
    // The device went away and the port is closed; the next open that succeeds starts afresh.
    void deviceLost();

private:
    struct Transfer;

    bool open();
    bool close();
    bool applySettings(const SerialSettings &settings);
    void closePort();
    void startRead();
    void finishRead();
    bool startWrite();
    void finishWrite();
    void cancel(Transfer &transfer);
    bool deviceStillThere();
    bool ioFailed(unsigned long error, const QString &what);
    void loseDevice(unsigned long error);
    void fail(const QString &failure);

    void *m_handle;
    std::unique_ptr<Transfer> m_read;
    std::unique_ptr<Transfer> m_write;
    QWinEventNotifier m_readDone;
    QWinEventNotifier m_writeDone;
    // A read that ended with nothing is started again after a pause, never in a tight loop.
    QTimer m_readAgain;
    // Received and not yet read; at most ReadBufferSize bytes, the rest waits in the driver.
    QByteArray m_input;
    // Waiting for the write in flight to finish.
    QByteArray m_output;
    SerialSettings m_settings;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    std::int16_t m_portNumber = 1;
    QString m_currentDevice;
    QString m_lastFailure;
};
