#include "app/TimerPrecision.h"

#include <windows.h>

#include <timeapi.h>

// The default timer tick is 15.6 ms, so Sleep(1) lasts up to 16 ms: a reply wait of 301 passes
// would take 4.7 s. The system keeps the finer tick until every program that asked lets go.
TimerPrecision::TimerPrecision()
{
    timeBeginPeriod(1);
}

TimerPrecision::~TimerPrecision()
{
    timeEndPeriod(1);
}
