#pragma once

#include <QtGlobal>

// True when the tty behind this descriptor has been hung up: its device was unplugged, or the
// other side of a pseudo-terminal closed. Such a tty reads 0 bytes and polls readable forever.
bool ttyHungUp(qintptr descriptor);
