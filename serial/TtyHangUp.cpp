#include "serial/TtyHangUp.h"

#include <poll.h>

bool ttyHungUp(qintptr descriptor)
{
    if (descriptor < 0)
        return false;
    pollfd entry{};
    entry.fd = static_cast<int>(descriptor);
    entry.events = POLLIN;
    if (::poll(&entry, 1, 0) <= 0)
        return false;
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
