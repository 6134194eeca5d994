#pragma once

#include "find/ModuleSearch.h"

#include <chrono>

// The host's monotonic clock (nanosecond resolution on Linux; 100 ns ticks on Windows).
class SteadySearchClock : public SearchClock
{
public:
    std::int64_t nowMicroseconds() override
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
