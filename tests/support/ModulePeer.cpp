#include "ModulePeer.h"

ModulePeer::ModulePeer(Responder responder)
    : m_responder(std::move(responder))
    , m_thread([this] { serve(); })
{}

ModulePeer::~ModulePeer()
{
    hangUp();
}

QList<ModulePeer::Received> ModulePeer::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void ModulePeer::hangUp()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_pty.hangUp();
}

void ModulePeer::serve()
{
    QByteArray pending;
    while (!m_stop) {
        pending += m_pty.receive(1, 20);
        qsizetype cr;
        while ((cr = pending.indexOf('\r')) >= 0) {
            const QByteArray command = pending.left(cr);
            pending.remove(0, cr + 1);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_received.append({command, lineBaud()});
            }
            const QByteArray reply = m_responder ? m_responder(command) : QByteArray();
            if (!reply.isEmpty())
                m_pty.send(reply);
        }
    }
}
