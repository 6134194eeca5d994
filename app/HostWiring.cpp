#include "app/HostWiring.h"

#include "app/MainWindow.h"
#include "core/LampColor.h"

#include <QObject>

#include <cstdlib>

namespace {

QString lampToolTip(const PlatformSerialPort &port)
{
    const QString device = port.currentDevice();
    if (port.isOpen())
        return QStringLiteral("Open: %1").arg(device);
    const QString failure = port.lastFailure();
    if (!failure.isEmpty())
        return QStringLiteral("Not open: %1").arg(failure);
    return device.isEmpty() ? QStringLiteral("Not open") : QStringLiteral("Closed: %1").arg(device);
}

} // namespace

void wireHostPort(MainWindow &window, PlatformSerialPort &port)
{
    window.setComToolTipSource(&PlatformSerialPort::comToolTips);
    window.setLampToolTip(lampToolTip(port));
    QObject::connect(&port, &PlatformSerialPort::stateChanged, &window,
                     [&window, &port] { window.setLampToolTip(lampToolTip(port)); });
    // The operations grey the lamp only when they close the port; only the port sees it lost.
    QObject::connect(&port, &PlatformSerialPort::deviceLost, &window,
                     [&window] { window.setLampColor(LampGrey); });
    // Closing ends the program at once, also from inside a reply wait or a repeat run: nothing
    // that was waiting gets to write to the line again. The port and its lock go first.
    window.setCloseHandler([&port] {
        port.release();
        std::_Exit(0);
    });
}
