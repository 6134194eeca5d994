#include "Trace.h"

#include "TextUtil.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace sim {

namespace {
std::string timestamp()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03ld", now.tv_nsec / 1000000);
    return text;
}
} // namespace

bool Trace::open(const std::string &path, std::string *error)
{
    m_file.open(path, std::ios::out | std::ios::app);
    if (!m_file) {
        *error = "cannot open trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Trace::record(int lineBaud, const std::string &command, const Outcome &outcome, int moduleBaud)
{
    if (!m_file.is_open())
        return;
    m_file << timestamp() << " baud=" << lineBaud << " \"" << escaped(command) << "\" -> ";
    if (outcome.silence == Silence::None)
        m_file << '"' << escaped(outcome.reply) << '"';
    else if (outcome.silence == Silence::BaudMismatch)
        m_file << "(no reply: baud mismatch, module at " << moduleBaud << ")";
    else
        m_file << "(no reply: " << silenceText(outcome.silence) << ")";
    m_file << std::endl;
}

} // namespace sim
