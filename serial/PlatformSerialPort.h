#pragma once

// The serial port of the platform the tool is built for; both have the same surface (the
// SerialPort operations, currentDevice, lastFailure, isOpen, release, comToolTips and the
// stateChanged and deviceLost signals), so the window's wiring is one.
#ifdef _WIN32
#include "serial/WinSerialPort.h"
using PlatformSerialPort = WinSerialPort;
#else
#include "serial/HostSerialPort.h"
using PlatformSerialPort = HostSerialPort;
#endif
