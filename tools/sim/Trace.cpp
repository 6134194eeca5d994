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

void Trace::record(int lineBaud, const std::string &received, bool frame, const Heard &heard,
                   const std::vector<std::string> &notes)
{
    if (!m_file.is_open())
        return;
    const auto shown = [frame](const std::string &bytes) {
        return frame ? '[' + hexBytes(bytes) + ']' : '"' + escaped(bytes) + '"';
    };
    m_file << timestamp() << " baud=" << lineBaud << ' ' << shown(received) << " -> ";
    if (heard.answers.empty())
        m_file << "(no reply: " << heard.silence << ')';
    for (std::size_t i = 0; i < heard.answers.size(); ++i) {
        const Answer &answer = heard.answers[i];
        m_file << (i > 0 ? " + " : "") << shown(answer.reply);
        if (!answer.from.empty())
            m_file << " from " << answer.from;
        if (i < notes.size() && !notes[i].empty())
            m_file << ' ' << notes[i];
    }
    if (heard.answers.size() > 1)
        m_file << " (collision: several modules answered)";
    m_file << std::endl;
}

} // namespace sim
