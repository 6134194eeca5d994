#include "Pty.h"

#include "LineSpeed.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
std::string failure(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

Pty::~Pty()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool Pty::open(int baud, std::string *error)
{
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        *error = failure("openpty");
        return false;
    }
    char name[PATH_MAX];
    if (::ttyname_r(m_slave, name, sizeof name) != 0) {
        *error = failure("ttyname");
        return false;
    }
    m_slavePath = name;
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    termios settings{};
    ::tcgetattr(m_slave, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, termiosSpeed(baud));
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        *error = failure("tcsetattr");
        return false;
    }
    return true;
}

namespace {
// On Linux the master reports the slave's termios, i.e. what the tool set.
speed_t lineSpeed(int master)
{
    termios settings{};
    if (::tcgetattr(master, &settings) != 0)
        return B0;
    return ::cfgetospeed(&settings);
}
} // namespace

int Pty::lineBaud() const
{
    return moduleBaudOf(lineSpeed(m_master));
}

int Pty::lineRate() const
{
    return rateOf(lineSpeed(m_master));
}

} // namespace sim
