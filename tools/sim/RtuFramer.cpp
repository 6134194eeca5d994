#include "RtuFramer.h"

namespace sim {

void RtuFramer::add(char byte, Clock::time_point arrived, Clock::duration gap)
{
    // Measured between the ends of two bytes: a byte that ends a whole gap after the one before
    // cannot belong to its frame.
    if (!m_frame.empty() && arrived - m_last >= gap)
        close();
    // Longer than any frame: junk, dropped up to the next silence.
    if (m_frame.size() < kMaxFrame + 1)
        m_frame.push_back(byte);
    m_last = arrived;
    m_gap = gap;
}

std::optional<RtuFramer::Clock::time_point> RtuFramer::endsAt() const
{
    if (m_frame.empty())
        return std::nullopt;
    return m_last + m_gap;
}

std::optional<std::pair<std::string, RtuFramer::Clock::time_point>>
RtuFramer::take(Clock::time_point now)
{
    if (!m_frame.empty() && now >= m_last + m_gap)
        close();
    if (m_done.empty())
        return std::nullopt;
    auto frame = std::move(m_done.front());
    m_done.pop_front();
    return frame;
}

void RtuFramer::close()
{
    if (m_frame.size() <= kMaxFrame)
        m_done.emplace_back(std::move(m_frame), m_last + m_gap);
    m_frame.clear();
}

} // namespace sim
