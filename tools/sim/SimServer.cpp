#include "SimServer.h"

#include "Pty.h"
#include "TextUtil.h"
#include "Trace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr std::size_t kSplitPieces = 3;
constexpr std::chrono::milliseconds kSplitGap{20};
constexpr double kPi = 3.14159265358979323846;
} // namespace

SimServer::SimServer(Pty &pty, SimModule &module, Trace &trace, const SimOptions &options)
    : m_pty(pty)
    , m_module(module)
    , m_trace(trace)
    , m_options(options)
{}

int SimServer::run(int signalFd)
{
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {m_pty.masterFd(), POLLIN, 0}};
        if (::poll(fds, 2, pollTimeoutMs()) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("tolvane-sim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) < 0)
                std::perror("tolvane-sim: signal");
            return 0;
        }
        if ((fds[1].revents & POLLIN) && !readLine())
            return 1;
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            std::fprintf(stderr, "tolvane-sim: the pty failed\n");
            return 1;
        }
        writeDue();
    }
}

bool SimServer::readLine()
{
    char buffer[512];
    const ssize_t count = ::read(m_pty.masterFd(), buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (count <= 0) {
        std::perror("tolvane-sim: read");
        return false;
    }
    for (const std::string &command : m_assembler.feed(buffer, static_cast<std::size_t>(count)))
        answer(command);
    return true;
}

void SimServer::answer(const std::string &command)
{
    const int lineBaud = m_pty.lineBaud();
    const Outcome outcome = m_options.silent ? Outcome{{}, Silence::Silent}
                                             : m_module.handle(command, lineBaud, volts());
    m_trace.record(lineBaud, command, outcome, m_module.state().baud);
    if (outcome.silence == Silence::None)
        schedule(outcome.reply);
}

void SimServer::schedule(const std::string &reply)
{
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(m_options.replyDelayMs);
    if (!m_pending.empty() && m_pending.back().due > due)
        due = m_pending.back().due;
    if (!m_options.split) {
        m_pending.push_back({due, reply});
        return;
    }
    for (const std::string &piece : splitInPieces(reply, kSplitPieces)) {
        m_pending.push_back({due, piece});
        due += kSplitGap;
    }
}

void SimServer::writeDue()
{
    const auto now = Clock::now();
    while (!m_pending.empty() && m_pending.front().due <= now) {
        const std::string &bytes = m_pending.front().bytes;
        // Nobody reading and the buffer full: the bytes are lost, as on a real line.
        if (::write(m_pty.masterFd(), bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
            std::perror("tolvane-sim: write");
        m_pending.pop_front();
    }
}

int SimServer::pollTimeoutMs() const
{
    if (m_pending.empty())
        return -1;
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(m_pending.front().due - Clock::now());
    return wait.count() < 0 ? 0 : static_cast<int>(wait.count());
}

double SimServer::volts() const
{
    // A slow sine, 40 s per period, so repeated reads visibly change and cross zero.
    const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    return 5.0 * std::sin(2.0 * kPi * (seconds + 3.0) / 40.0);
}

} // namespace sim
