#pragma once

#include "serial/SerialSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// What differs between platforms under PlatformSerialPort: naming, opening and configuring the
// device and moving its bytes. A backend keeps no state the port shows and never signals: it
// returns a failure's words (PortMessages), and what it learns of its own accord, while the event
// loop runs, it hands to its port through the two callbacks.
class SerialBackend
{
public:
    struct Listener
    {
        // The device is gone and the backend has closed; `reason` in words.
        std::function<void(const QString &reason)> lost;
        // Something needs the engineer's attention; the port stays open.
        std::function<void(const QString &failure)> failed;
    };

    virtual ~SerialBackend() = default;
    void setListener(Listener listener) { m_listener = std::move(listener); }

    // Opens COMn at `settings` (given as `settingsText`); `device` gets what COMn names, or empty
    // when it names nothing. Returns the failure in words, empty when the port is open.
    virtual QString open(int n, const SerialSettings &settings, const QString &settingsText,
                         QString &device) = 0;
    // Empty when the open port now runs at `settings`; otherwise the driver's reason, with the
    // port left at its earlier settings.
    virtual QString apply(const SerialSettings &settings) = 0;
    // Closes without reporting anything.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // True while the port is open and its device present; a device found gone is closed and
    // reported lost before this returns false.
    virtual bool stillThere() = 0;
    virtual bool discardOutput() = 0;
    virtual bool discardInput() = 0;
    virtual bool write(const QByteArray &bytes) = 0;
    virtual bool read(QByteArray &received) = 0;

protected:
    void reportLost(const QString &reason)
    {
        if (m_listener.lost)
            m_listener.lost(reason);
    }
    void reportFailure(const QString &failure)
    {
        if (m_listener.failed)
            m_listener.failed(failure);
    }

private:
    Listener m_listener;
};

// This platform's backend (in SerialBackendLinux.cpp or SerialBackendWindows.cpp).
std::unique_ptr<SerialBackend> systemSerialBackend();
// One line per COM number for the COM list's tooltips.
QStringList systemComToolTips();
