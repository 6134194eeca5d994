#include "Pty.h"

#include "LineSpeed.h"

#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

Pty::Pty()
{
    // Raw from the start: a cooked slave would echo what the peer sends back to the peer.
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_fd, &m_slave, name, &raw, nullptr) == 0)
        m_slavePath = QString::fromLocal8Bit(name);
}

Pty::Pty(const QString &path, int baud)
    : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY))
{
    setBaud(baud);
}

Pty::~Pty()
{
    hangUp();
}

void Pty::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray Pty::receive(int count, int timeoutMs)
{
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while ((count > 0 ? received.size() < count : !received.contains('\r')) &&
           clock.elapsed() < timeoutMs) {
        pollfd entry{m_fd, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        // One byte at a time when a reply is wanted: what follows its CR stays for the next read.
        char chunk[512];
        const ssize_t n = ::read(m_fd, chunk, count > 0 ? sizeof chunk : 1);
        if (n <= 0)
            break;
        received.append(chunk, n);
    }
    return received;
}

void Pty::setBaud(int baud)
{
    termios settings = attributes();
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, sim::termiosSpeed(baud));
    ::tcsetattr(m_fd, TCSANOW, &settings);
}

termios Pty::attributes() const
{
    termios attributes{};
    ::tcgetattr(m_fd, &attributes);
    return attributes;
}

void Pty::hangUp()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_fd >= 0)
        ::close(m_fd);
    m_slave = m_fd = -1;
}
