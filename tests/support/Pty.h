#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// One end of a pseudo-terminal, raw. Made without a path it is a new pair's master, the device as
// the tool's port sees it, and also holds the slave, without which the master reads EIO whenever
// the tool closes the port. Made with a path it is that terminal opened at `baud`, the tool's
// end of a line whose far end is tolvane-sim.
class Pty
{
public:
    Pty();
    Pty(const QString &path, int baud);
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return m_fd >= 0; }
    QString slavePath() const { return m_slavePath; }

    void send(const QByteArray &bytes);
    // Up to `count` bytes, or up to and including a CR when `count` is 0, waiting up to timeoutMs.
    QByteArray receive(int count, int timeoutMs = 2000);
    QByteArray reply(int timeoutMs = 2000) { return receive(0, timeoutMs); }
    // Everything that arrives within the window.
    QByteArray drain(int windowMs) { return receive(1 << 20, windowMs); }
    void setBaud(int baud);
    termios attributes() const;
    // The device goes away: the descriptors close and the slave is hung up.
    void hangUp();

private:
    int m_fd = -1;
    int m_slave = -1;
    QString m_slavePath;
};
