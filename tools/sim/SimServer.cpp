#include "SimServer.h"

#include "LineSpeed.h"
#include "ModbusModule.h"
#include "Pty.h"
#include "TextUtil.h"
#include "Trace.h"

#include <algorithm>
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

bool hasValidCrc(const std::string &frame)
{
    if (frame.size() < 4)
        return false;
    const std::uint16_t crc = modbusCrc(frame.substr(0, frame.size() - 2));
    return frame[frame.size() - 2] == char(crc & 0xFF) && frame.back() == char(crc >> 8);
}
} // namespace

SimServer::SimServer(Pty &pty, ModuleBus &bus, Trace &trace, const SimOptions &options)
    : m_pty(pty)
    , m_bus(bus)
    , m_trace(trace)
    , m_options(options)
    , m_faults(options)
{
    if (m_faults.any())
        std::fprintf(stderr, "tolvane-sim: faults seeded with %u (--seed %u repeats them)\n",
                     m_faults.seed(), m_faults.seed());
}

int SimServer::run(int signalFd)
{
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {m_pty.masterFd(), POLLIN, 0}};
        timespec timeout{};
        const auto wake = nextWake();
        if (wake) {
            const auto wait = std::max(*wake - Clock::now(), Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        }
        if (::ppoll(fds, 2, wake ? &timeout : nullptr, nullptr) < 0) {
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
        if ((fds[1].revents & POLLIN) && !receive())
            return 1;
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            std::fprintf(stderr, "tolvane-sim: the pty failed\n");
            return 1;
        }
        const Clock::time_point now = Clock::now();
        hearFrames(now);
        writeDue(now);
    }
}

bool SimServer::receive()
{
    char buffer[512];
    const ssize_t count = ::read(m_pty.masterFd(), buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (count <= 0) {
        std::perror("tolvane-sim: read");
        return false;
    }
    const Clock::time_point now = Clock::now();
    m_lineRate = m_pty.lineRate();
    const int lineBaud = m_pty.lineBaud();
    const Clock::duration gap = frameGap(m_lineRate);
    // The bytes came at once through the pty; on a wire each takes its character time after the
    // one before, starting when the first was written (the moment it was read, within the poll's
    // wake-up time).
    m_receivedTo = std::max(m_receivedTo, now);
    for (ssize_t i = 0; i < count; ++i) {
        m_receivedTo += characterTime();
        m_framer.add(buffer[i], m_receivedTo, gap);
        for (const std::string &command : m_assembler.feed(buffer + i, 1))
            hearCommand(command, lineBaud, m_receivedTo);
    }
    return true;
}

void SimServer::hearCommand(const std::string &command, int lineBaud, Clock::time_point heardAt)
{
    if (m_options.silent) {
        m_trace.record(lineBaud, command, false, {{}, silenceText(Silence::Silent)}, {});
        return;
    }
    answer(m_bus.hearCommand(command, lineBaud, volts()), lineBaud, command, false, heardAt);
}

void SimServer::hearFrames(Clock::time_point now)
{
    while (const auto frame = m_framer.take(now)) {
        const std::string &bytes = frame->first;
        const bool valid = hasValidCrc(bytes);
        // A MODBUS frame is no start of a text command for the modules that read text.
        if (valid)
            m_assembler.discardPartial();
        // A line where nobody speaks MODBUS has only text on it; and a text command, already
        // traced as such, is no frame to report again.
        if (!m_bus.anyModbus() || m_options.silent || (bytes.back() == '\r' && !valid))
            continue;
        const int lineBaud = m_pty.lineBaud();
        answer(m_bus.hearFrame(bytes, lineBaud, volts()), lineBaud, bytes, true, frame->second);
    }
}

void SimServer::answer(const Heard &heard, int lineBaud, const std::string &received, bool frame,
                       Clock::time_point heardAt)
{
    std::vector<std::string> notes;
    for (const Answer &answer : heard.answers) {
        std::string bytes = answer.reply;
        const Faults::Decision fault = m_faults.apply(bytes);
        notes.push_back(fault.note);
        if (!fault.dropped)
            send(bytes, heardAt + std::chrono::milliseconds(answer.replyDelayMs) + fault.late);
    }
    m_trace.record(lineBaud, received, frame, heard, notes);
}

void SimServer::send(const std::string &bytes, Clock::time_point readyAt)
{
    // One sender at a time on the line: a reply starts once the one before has gone out.
    Clock::time_point at = std::max(readyAt, m_sendingTo);
    const auto pieces = m_options.split ? splitInPieces(bytes, kSplitPieces)
                                        : std::vector<std::string>{bytes};
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        if (p > 0)
            at += kSplitGap;
        if (characterTime() == Clock::duration::zero()) {
            m_pending.push_back({at, pieces[p]});
            continue;
        }
        // Each character is written when it has fully crossed the wire.
        for (const char c : pieces[p]) {
            at += characterTime();
            m_pending.push_back({at, std::string(1, c)});
        }
    }
    m_sendingTo = at;
}

void SimServer::writeDue(Clock::time_point now)
{
    std::string due;
    while (!m_pending.empty() && m_pending.front().due <= now) {
        due += m_pending.front().bytes;
        m_pending.pop_front();
    }
    // Nobody reading and the buffer full: the bytes are lost, as on a real line.
    if (!due.empty() && ::write(m_pty.masterFd(), due.data(), due.size()) < 0 && errno != EAGAIN)
        std::perror("tolvane-sim: write");
}

std::optional<SimServer::Clock::time_point> SimServer::nextWake() const
{
    std::optional<Clock::time_point> wake = m_framer.endsAt();
    if (!m_pending.empty() && (!wake || m_pending.front().due < *wake))
        wake = m_pending.front().due;
    return wake;
}

SimServer::Clock::duration SimServer::characterTime() const
{
    return m_options.instant ? Clock::duration::zero() : sim::characterTime(m_lineRate);
}

double SimServer::volts() const
{
    // A slow sine, 40 s per period, so repeated reads visibly change and cross zero.
    const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    return 5.0 * std::sin(2.0 * kPi * (seconds + 3.0) / 40.0);
}

} // namespace sim
