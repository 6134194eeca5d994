// Opens a COM port through PlatformSerialPort and holds it until standard input closes: another
// program that has the device, as the tests need one.
#include "serial/PlatformSerialPort.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PlatformSerialPort port;
    const bool opened =
        argc > 1 && port.setPortNumber(std::int16_t(std::atoi(argv[1]))) && port.setOpen(true);
    std::cout << (opened ? std::string("open") : "failed: " + port.lastFailure().toStdString())
              << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    port.release();
    return opened ? 0 : 1;
}
