#include "app/QtEventPump.h"
#include "app/find/FindWindow.h"
#include "app/find/OwnConsole.h"
#include "find/SteadySearchClock.h"
#include "serial/PlatformSerialPort.h"

#include <QApplication>
#include <QIcon>

int runFindWindow(int argc, char *argv[])
{
    releaseOwnConsole();
    QApplication application(argc, argv);
    application.setDesktopFileName(QStringLiteral("tolvane-find"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tolvane-find-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    PlatformSerialPort port;
    QtEventPump pump;
    SteadySearchClock clock;
    FindWindow window(port, pump, clock);
    window.setComToolTipSource(&PlatformSerialPort::comToolTips);
    window.setPortFailureSource([&port] { return port.lastFailure(); });
    window.show();
    return application.exec();
}
