#pragma once

#include "serial/PlatformSerialPort.h"

class MainWindow;

// Ties the window to the host's serial port: the tooltips that say which device a COM number
// is and why an open failed, the lamp that turns grey when the device goes away, and the
// shutdown that releases the port and ends the process.
void wireHostPort(MainWindow &window, PlatformSerialPort &port);
