#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

// Collects received bytes into commands ended by CR. LF is ignored so terminals that send
// CR LF work too; a line longer than kMaxLine is junk and is dropped up to its CR.
class LineAssembler
{
public:
    static constexpr std::size_t kMaxLine = 256;

    std::vector<std::string> feed(const char *data, std::size_t size);
    // Forgets a line begun: what came so far was no text command.
    void discardPartial()
    {
        m_line.clear();
        m_overflow = false;
    }

private:
    std::string m_line;
    bool m_overflow = false;
};

} // namespace sim
