#include "core/Pause.h"

#include "core/EventPump.h"

void Pause(EventPump &pump, int milliseconds)
{
    pump.sleepMilliseconds(milliseconds);
    for (int i = 0; i < 3; ++i)
        pump.pumpEvents();
}
