#include "app/HostWiring.h"
#include "app/Program.h"
#include "serial/PlatformSerialPort.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tolvane-%1.png").arg(size));
    application.setWindowIcon(icon);
    application.setDesktopFileName(QStringLiteral("tolvane"));
    PlatformSerialPort port;
    Program program(port);
    wireHostPort(program.window(), port);
    program.window().show();
    return application.exec();
}
