#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace sim {

// Cuts the bytes of the line into MODBUS RTU frames: a frame ends where the line falls silent
// for the frame gap (3.5 characters). Each byte comes with the time it has fully arrived, so the
// wire's pace, not when the program got round to reading, decides where frames end.
class RtuFramer
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxFrame = 256; // the longest RTU frame

    void add(char byte, Clock::time_point arrived, Clock::duration gap);
    // When the frame in progress ends if nothing more comes.
    std::optional<Clock::time_point> endsAt() const;
    // The next frame whose silence has passed by `now`, with the time it ended.
    std::optional<std::pair<std::string, Clock::time_point>> take(Clock::time_point now);

private:
    void close();

    std::string m_frame;
    Clock::time_point m_last;
    Clock::duration m_gap{};
    std::deque<std::pair<std::string, Clock::time_point>> m_done;
};

} // namespace sim
