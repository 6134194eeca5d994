#include "app/HostWiring.h"

#include "app/MainWindow.h"
#include "core/LampColor.h"
#include "serial/ComPortMap.h"
#include "serial/HostSerialPort.h"

#include <QObject>

#include <cstdlib>

namespace {

QString lampToolTip(const HostSerialPort &port)
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

void wireHostPort(MainWindow &window, HostSerialPort &port)
{
    window.setComToolTipSource([] {
        // One scan of the host's ports for all entries.
        const QStringList present = ComPortMap::hostSerialPorts();
        const ComPortMap snapshot([present] { return present; });
        QStringList tips;
        for (int n = tolvane::kFirstCom; n <= tolvane::kLastCom; ++n)
            tips << snapshot.describe(n);
        return tips;
    });
    window.setLampToolTip(lampToolTip(port));
    QObject::connect(&port, &HostSerialPort::stateChanged, &window,
                     [&window, &port] { window.setLampToolTip(lampToolTip(port)); });
    // The operations grey the lamp only when they close the port; only the port sees it lost.
    QObject::connect(&port, &HostSerialPort::deviceLost, &window,
                     [&window] { window.setLampColor(LampGrey); });
    // Closing ends the program at once, also from inside a reply wait or a repeat run: nothing
    // that was waiting gets to write to the line again. The port and its lock go first.
    window.setCloseHandler([&port] {
        port.release();
        std::_Exit(0);
    });
}
