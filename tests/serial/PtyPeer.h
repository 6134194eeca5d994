#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

// The far end of a pseudo-terminal: the device as the tool's port sees it. Holds the master and
// also a slave descriptor, without which the master reads EIO whenever the tool closes the port.
class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Bytes the device sends to the port.
    void send(const QByteArray &bytes);
    // Bytes the port sent, waiting up to timeoutMs for `count` of them.
    QByteArray receive(int count, int timeoutMs = 2000);
    // The slave's line settings as the port left them.
    termios attributes() const;
    // The device goes away: both descriptors close and the slave is hung up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
