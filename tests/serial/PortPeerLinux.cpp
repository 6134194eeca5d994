#include "PortPeer.h"

#include "LineSpeed.h"
#include "Pty.h"
#include "core/ComLinks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// XDG_CONFIG_HOME points at a temporary folder whose tolvane/com1 links to a pseudo-terminal.
class PtyPeer : public PortPeer
{
public:
    PtyPeer()
    {
        EXPECT_TRUE(m_config.isValid());
        EXPECT_TRUE(m_pty.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        EXPECT_TRUE(QDir().mkpath(QString::fromStdString(tolvane::linkDirectory())));
        EXPECT_TRUE(QFile::link(m_pty.slavePath(), comLink(1)));
    }

    std::unique_ptr<PlatformSerialPort> makePort() override
    {
        return std::make_unique<PlatformSerialPort>();
    }
    QString device() const override { return m_pty.slavePath(); }
    QString makeAbsent(int n) override
    {
        const QString absent = QStringLiteral("/nonexistent/ttyUSB%1").arg(n);
        EXPECT_TRUE(QFile::link(absent, comLink(n)));
        return absent;
    }
    void send(const QByteArray &bytes) override { m_pty.send(bytes); }
    QByteArray receive(int count) override { return m_pty.receive(count); }
    std::pair<int, bool> line() const override
    {
        const termios attributes = m_pty.attributes();
        return {sim::rateOf(cfgetospeed(&attributes)), (attributes.c_cflag & CSTOPB) != 0};
    }
    QString unplug() override
    {
        m_pty.hangUp();
        return QStringLiteral("unplugged or closed");
    }

private:
    static QString comLink(int n) { return QString::fromStdString(tolvane::comLinkPath(n)); }

    QTemporaryDir m_config;
    Pty m_pty;
};

} // namespace

std::unique_ptr<PortPeer> PortPeer::create()
{
    return std::make_unique<PtyPeer>();
}
