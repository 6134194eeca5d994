#pragma once

#include "core/EventPump.h"

// Waiting on the window's own thread: sleep, and let Qt deliver what is pending (clicks, key
// presses, the serial port's socket notifier).
class QtEventPump : public EventPump
{
public:
    QtEventPump();
    void pumpEvents() override;
    void sleepMilliseconds(int milliseconds) override;
};
