#pragma once

#include "LineAssembler.h"
#include "SimModule.h"
#include "SimOptions.h"

#include <chrono>
#include <deque>
#include <string>

namespace sim {

class Pty;
class Trace;

// Serves the module on the pty until a signal arrives on signalFd. Replies are queued with
// their due time so --reply-delay and --split never block the loop.
class SimServer
{
public:
    SimServer(Pty &pty, SimModule &module, Trace &trace, const SimOptions &options);

    // Returns the exit status: 0 after a signal, 1 when the line fails.
    int run(int signalFd);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending
    {
        Clock::time_point due;
        std::string bytes;
    };

    bool readLine();
    void answer(const std::string &command);
    void schedule(const std::string &reply);
    void writeDue();
    int pollTimeoutMs() const;
    double volts() const;

    Pty &m_pty;
    SimModule &m_module;
    Trace &m_trace;
    const SimOptions &m_options;
    LineAssembler m_assembler;
    std::deque<Pending> m_pending;
    const Clock::time_point m_start = Clock::now();
};

} // namespace sim
