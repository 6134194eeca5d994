#include "app/HostWiring.h"
#include "app/Program.h"
#include "app/WindowIcon.h"
#include "serial/PlatformSerialPort.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    application.setDesktopFileName(QStringLiteral("tolvane"));
    PlatformSerialPort port;
    Program program(port);
    wireHostPort(program.window(), port);
    program.window().show();
    setIconAfterFirstFrame(program.window());
    return application.exec();
}
