#include "LineAssembler.h"

namespace sim {

std::vector<std::string> LineAssembler::feed(const char *data, std::size_t size)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n')
            continue;
        if (c == '\r') {
            if (!m_overflow)
                lines.push_back(m_line);
            m_line.clear();
            m_overflow = false;
        } else if (!m_overflow) {
            if (m_line.size() == kMaxLine) {
                m_overflow = true;
                m_line.clear();
            } else {
                m_line.push_back(c);
            }
        }
    }
    return lines;
}

} // namespace sim
