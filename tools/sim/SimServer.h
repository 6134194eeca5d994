#pragma once

#include "Faults.h"
#include "LineAssembler.h"
#include "ModuleBus.h"
#include "RtuFramer.h"
#include "SimOptions.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace sim {

class Pty;
class Trace;

// Serves the modules on the pty until a signal arrives on signalFd. Unless --instant, bytes cross
// the line at the pace of the rate the tool set, 10 bits a character: a command is taken once
// its last character would have arrived, and a reply goes out a character at a time. Replies
// are queued with their due time, so nothing ever blocks the loop.
class SimServer
{
public:
    SimServer(Pty &pty, ModuleBus &bus, Trace &trace, const SimOptions &options);

    // Returns the exit status: 0 after a signal, 1 when the line fails.
    int run(int signalFd);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending
    {
        Clock::time_point due;
        std::string bytes;
    };

    bool receive();
    void hearCommand(const std::string &command, int lineBaud, Clock::time_point heardAt);
    void hearFrames(Clock::time_point now);
    void answer(const Heard &heard, int lineBaud, const std::string &received, bool frame,
                Clock::time_point heardAt);
    void send(const std::string &bytes, Clock::time_point readyAt);
    void writeDue(Clock::time_point now);
    std::optional<Clock::time_point> nextWake() const;
    Clock::duration characterTime() const;
    double volts() const;

    Pty &m_pty;
    ModuleBus &m_bus;
    Trace &m_trace;
    const SimOptions &m_options;
    Faults m_faults;
    LineAssembler m_assembler;
    RtuFramer m_framer;
    int m_lineRate = 0;               // bits per second the tool set, as last read
    Clock::time_point m_receivedTo{}; // when the last received character has fully arrived
    Clock::time_point m_sendingTo{};  // when the line is free to send again
    std::deque<Pending> m_pending;
    const Clock::time_point m_start = Clock::now();
};

} // namespace sim
