#pragma once

#include <QStringList>

// Orders serial ports (names or paths; the file name decides) the way COM numbers are handed out:
// USB adapters first (ttyUSB*, then ttyACM*), then the others, each group in natural number order
// so that ttyS2 comes before ttyS10.
QStringList orderSerialPorts(QStringList ports);
