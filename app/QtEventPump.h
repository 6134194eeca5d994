#pragma once

#include "app/TimerPrecision.h"
#include "core/EventPump.h"

// Waiting on the window's own thread: sleep, and let Qt deliver what is pending (clicks, key
// presses, the serial port's notifiers).
class QtEventPump : public EventPump
{
public:
    void pumpEvents() override;
    void sleepMilliseconds(int milliseconds) override;

private:
    TimerPrecision m_precision;
};
