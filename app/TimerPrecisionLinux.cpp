#include "app/TimerPrecision.h"

#include <sys/prctl.h>

// A sleep lasts its time plus the thread's timer slack (50 us by default): ask for the least
// slack the kernel gives. The thread keeps it; nothing to undo.
TimerPrecision::TimerPrecision()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

TimerPrecision::~TimerPrecision() = default;
