#include "PortPeer.h"

#include "ScriptedComm.h"

#include "core/WindowsErrorText.h"

#include <QtCore/qtestsupport_core.h>

namespace {

// Wine's COM ports are pseudo-terminals without any driver's ways: COM1 here is a scripted
// driver that behaves as a well-kept one does.
class ScriptedPeer : public PortPeer
{
public:
    std::unique_ptr<PlatformSerialPort> makePort() override
    {
        return std::make_unique<PlatformSerialPort>(windowsSerialBackend(m_comm));
    }
    QString device() const override { return QStringLiteral("COM1"); }
    QString makeAbsent(int n) override
    {
        const QString name = QStringLiteral("COM%1").arg(n);
        m_comm->absentPath = L"\\\\.\\" + name.toStdWString();
        return name;
    }
    void send(const QByteArray &bytes) override { m_comm->arrive(bytes); }
    QByteArray receive(int count) override
    {
        static_cast<void>(QTest::qWaitFor([&] { return m_comm->line.size() >= count; }));
        const QByteArray received = m_comm->line.left(count);
        m_comm->line.remove(0, received.size());
        return received;
    }
    std::pair<int, bool> line() const override
    {
        return {int(m_comm->state.BaudRate), m_comm->state.StopBits == TWOSTOPBITS};
    }
    QString unplug() override
    {
        m_comm->statusError = ERROR_BAD_COMMAND;
        m_comm->endRead(ERROR_BAD_COMMAND);
        return windowsErrorText(ERROR_BAD_COMMAND);
    }

private:
    std::shared_ptr<ScriptedComm> m_comm = std::make_shared<ScriptedComm>();
};

} // namespace

std::unique_ptr<PortPeer> PortPeer::create()
{
    return std::make_unique<ScriptedPeer>();
}
