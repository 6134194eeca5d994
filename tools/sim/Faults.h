#pragma once

#include "SimOptions.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

namespace sim {

// Faults of a bad line, on demand: replies dropped, garbled or late, decided by a generator
// seeded once, so that the same seed and the same commands give the same faults.
class Faults
{
public:
    explicit Faults(const SimOptions &options);

    struct Decision
    {
        bool dropped = false;
        std::chrono::milliseconds late{0};
        std::string note; // for the trace: "[dropped]", "[garbled byte 3]", "[late 500 ms]"
    };
    // What happens to one reply; a garbled one is changed in place.
    Decision apply(std::string &reply);
    bool any() const;
    std::uint32_t seed() const { return m_seed; }

private:
    bool chance(double share);

    double m_drop;
    double m_garble;
    int m_lateMs;
    double m_lateShare;
    std::uint32_t m_seed;
    std::mt19937 m_random;
};

} // namespace sim
