#pragma once

#include <string>

namespace sim {

// The pty pair that stands in for the serial line. The slave stays open for the whole run so
// the tool may close and reopen the port without the master seeing EIO.
class Pty
{
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    // The slave starts raw at `baud`, so a terminal that sets nothing else still works.
    bool open(int baud, std::string *error);
    int masterFd() const { return m_master; }
    const std::string &slavePath() const { return m_slavePath; }
    // The rate the tool set on its end; 0 when it is not one of the module's.
    int lineBaud() const;
    // The same in bits per second whatever it is, for the wire's pace; 0 when unknown.
    int lineRate() const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace sim
