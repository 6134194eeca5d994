#include "app/HostWiring.h"
#include "app/Program.h"
#include "serial/HostSerialPort.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    HostSerialPort port;
    Program program(port);
    wireHostPort(program.window(), port);
    program.window().show();
    return application.exec();
}
