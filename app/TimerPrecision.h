#pragma once

// Asks the system for 1 ms sleeps for as long as it lives: the reply wait and the repeat
// countdown are hundreds of 1 ms sleeps. One implementation per platform.
class TimerPrecision
{
public:
    TimerPrecision();
    ~TimerPrecision();
    TimerPrecision(const TimerPrecision &) = delete;
    TimerPrecision &operator=(const TimerPrecision &) = delete;
};
