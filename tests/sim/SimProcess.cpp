#include "SimProcess.h"

#include "LineSpeed.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

bool allDigits(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Appends what fd has within the timeout; false on timeout or end of file.
bool readSome(int fd, std::string &out, int timeoutMs)
{
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0)
        return false;
    char buffer[256];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0)
        return false;
    out.append(buffer, static_cast<std::size_t>(count));
    return true;
}
} // namespace

TempDir::TempDir()
{
    char pattern[] = "/tmp/tolvane-sim-test-XXXXXX";
    if (::mkdtemp(pattern))
        m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

SimProcess::SimProcess(std::string configHome, std::vector<std::string> args)
{
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        std::vector<char *> argv{const_cast<char *>(TOLVANE_SIM_PATH)};
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execv(TOLVANE_SIM_PATH, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_stdout = out[0];
    m_stderr = err[0];
}

SimProcess::~SimProcess()
{
    if (m_pid > 0 && m_status < 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_stdout >= 0)
        ::close(m_stdout);
    if (m_stderr >= 0)
        ::close(m_stderr);
}

bool SimProcess::readBanner(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    while (text.find('\n') == std::string::npos) {
        if (!readSome(m_stdout, text, remainingMs(deadline)))
            return false;
    }
    m_banner = text.substr(0, text.find('\n'));
    // "tolvane-sim: COM<n> -> /dev/pts/<m>"
    const std::string lead = "tolvane-sim: COM";
    const std::string arrow = " -> ";
    const std::string ptsDir = "/dev/pts/";
    const std::size_t arrowAt = m_banner.find(arrow);
    if (m_banner.compare(0, lead.size(), lead) != 0 || arrowAt == std::string::npos)
        return false;
    const std::string com = m_banner.substr(lead.size(), arrowAt - lead.size());
    const std::string slave = m_banner.substr(arrowAt + arrow.size());
    if (!allDigits(com) || slave.compare(0, ptsDir.size(), ptsDir) != 0 ||
        !allDigits(slave.substr(ptsDir.size())))
        return false;
    m_com = std::stoi(com);
    m_slavePath = slave;
    return true;
}

int SimProcess::waitExit(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_status < 0 && m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (Clock::now() >= deadline)
            return -1;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

int SimProcess::stopWith(int signal)
{
    ::kill(m_pid, signal);
    return waitExit();
}

std::string SimProcess::stderrText()
{
    std::string text;
    while (readSome(m_stderr, text, 1000)) {
    }
    return text;
}

SerialLine::SerialLine(const std::string &path, int baud)
    : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY))
{
    setBaud(baud);
}

SerialLine::~SerialLine()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void SerialLine::setBaud(int baud)
{
    termios settings{};
    ::tcgetattr(m_fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, sim::termiosSpeed(baud));
    ::tcsetattr(m_fd, TCSANOW, &settings);
}

void SerialLine::send(const std::string &command)
{
    const std::string bytes = command + '\r';
    if (::write(m_fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        ::perror("SerialLine::send");
}

std::string SerialLine::readReply(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string reply;
    while (reply.find('\r') == std::string::npos && readSome(m_fd, reply, remainingMs(deadline))) {
    }
    return reply;
}

std::string SerialLine::drain(int windowMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(windowMs);
    std::string bytes;
    while (remainingMs(deadline) > 0 && readSome(m_fd, bytes, remainingMs(deadline))) {
    }
    return bytes;
}
