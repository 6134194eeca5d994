#include "app/TimerPrecision.h"

#include <windows.h>

#include <processthreadsapi.h>
#include <timeapi.h>

namespace {

// From Windows 11 a process whose windows are all minimised, covered or hidden may be held to the
// default 15.6 ms tick whatever it asked for, which is exactly when a long repeat run is left to
// itself. A process takes control of that throttling (ControlMask) and turns it off (StateMask
// clear): "always honor timer resolution requests". SetProcessInformation is in every Windows 10;
// a system that does not know the flag may refuse it, and nothing else depends on the call.
void keepTimerResolutionWhenHidden()
{
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}

} // namespace

// The default timer tick is 15.6 ms, so Sleep(1) lasts up to 16 ms: a reply wait of 301 passes
// would take 4.7 s. The system keeps the finer tick until every program that asked lets go.
TimerPrecision::TimerPrecision()
{
    keepTimerResolutionWhenHidden();
    timeBeginPeriod(1);
}

TimerPrecision::~TimerPrecision()
{
    timeEndPeriod(1);
}
