#pragma once

#include "Pty.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// A module at the far end of a pseudo-terminal, answering on its own thread while the tool waits
// on the window's thread. Records each command with the line rate the tool had set.
class ModulePeer
{
public:
    struct Received
    {
        QByteArray command; // without its CR
        int baud;
    };
    using Responder = std::function<QByteArray(const QByteArray &command)>;

    explicit ModulePeer(Responder responder);
    ~ModulePeer();

    QString slavePath() const { return m_pty.slavePath(); }
    QList<Received> received() const;
    int lineBaud() const { return m_pty.lineBaud(); }
    void hangUp();

private:
    void serve();

    Pty m_pty;
    Responder m_responder;
    mutable std::mutex m_mutex;
    QList<Received> m_received;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
