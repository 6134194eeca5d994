#include "Faults.h"

namespace sim {

Faults::Faults(const SimOptions &options)
    : m_drop(options.dropShare)
    , m_garble(options.garbleShare)
    , m_lateMs(options.lateMs)
    , m_lateShare(options.lateShare)
    , m_seed(options.seed ? *options.seed : std::random_device()())
    , m_random(m_seed)
{}

bool Faults::any() const
{
    return m_drop > 0 || m_garble > 0 || m_lateMs > 0;
}

// mt19937's numbers are the same everywhere; the standard distributions' are not, so the share
// is taken from the raw number.
bool Faults::chance(double share)
{
    return m_random() < share * 4294967296.0;
}

Faults::Decision Faults::apply(std::string &reply)
{
    Decision decision;
    if (!any() || reply.empty())
        return decision;
    // The same draws for every reply, so one fault's outcome never shifts the next reply's.
    const bool drop = chance(m_drop);
    const bool garble = chance(m_garble);
    const bool late = chance(m_lateShare);
    const std::size_t at = m_random() % reply.size();
    const auto flip = static_cast<char>(1 + m_random() % 255);
    if (drop) {
        decision.dropped = true;
        decision.note = "[dropped]";
        return decision;
    }
    if (garble) {
        reply[at] = static_cast<char>(reply[at] ^ flip);
        decision.note = "[garbled byte " + std::to_string(at + 1) + "]";
    }
    if (late && m_lateMs > 0) {
        decision.late = std::chrono::milliseconds(m_lateMs);
        decision.note += std::string(decision.note.empty() ? "" : " ") + "[late " +
                         std::to_string(m_lateMs) + " ms]";
    }
    return decision;
}

} // namespace sim
