#include "PtyPeer.h"

#include <QElapsedTimer>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    // Raw from the start: a cooked slave would echo what the peer sends back to the peer.
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0)
        m_slavePath = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer()
{
    hangUp();
}

void PtyPeer::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray PtyPeer::receive(int count, int timeoutMs)
{
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (received.size() < count && clock.elapsed() < timeoutMs) {
        pollfd entry{m_master, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        received.append(chunk, n);
    }
    return received;
}

termios PtyPeer::attributes() const
{
    termios attributes{};
    ::tcgetattr(m_master, &attributes);
    return attributes;
}

void PtyPeer::hangUp()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}
