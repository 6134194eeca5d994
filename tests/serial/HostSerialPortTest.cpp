#include "PortFixture.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using PortTest = PortFixture;

// Opens `path` as a terminal program such as picocom does: no lock file, only flock on its
// descriptor. -1 (errno says why) when the open or the lock fails.
int openWithFlock(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return fd;
    const int reason = errno;
    ::close(fd);
    errno = reason;
    return -1;
}

// True when every folder above `path` lets others pass, so another user can reach it.
bool othersMayReach(const QString &path)
{
    for (QDir dir(QFileInfo(path).absolutePath());; dir.cdUp()) {
        struct stat status{};
        if (::stat(QFile::encodeName(dir.path()).constData(), &status) != 0 ||
            (status.st_mode & S_IXOTH) == 0)
            return false;
        if (dir.isRoot())
            return true;
    }
}

TEST_F(PortTest, BytesTravelBothWaysExactly)
{
    ASSERT_TRUE(openCom(m_port, 1));
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    ASSERT_TRUE(m_port.write(everyByte));
    EXPECT_EQ(m_peer.receive(256), everyByte);

    m_peer.send(everyByte);
    QByteArray received;
    for (int pass = 0; pass < 300 && received.size() < 256; ++pass) {
        pumpEvents(1);
        ASSERT_TRUE(m_port.read(received));
    }
    EXPECT_EQ(received, everyByte);
}

TEST_F(PortTest, InputWaitingBeforeOpenOrDiscardedIsGone)
{
    m_peer.send("stale");
    ASSERT_TRUE(openCom(m_port, 1));
    pumpEvents(50);
    QByteArray received;
    ASSERT_TRUE(m_port.read(received));
    EXPECT_EQ(received, QByteArray());

    m_peer.send("junk");
    pumpEvents(50);
    ASSERT_TRUE(m_port.discardOutput());
    ASSERT_TRUE(m_port.discardInput());
    m_peer.send("fresh\r");
    EXPECT_EQ(pollReply(), QByteArray("fresh\r"));
}

TEST_F(PortTest, OpenFailuresSayWhy)
{
    linkCom(tolvane::kLastCom, "/nonexistent/ttyUSB9");
    EXPECT_FALSE(openCom(m_port, tolvane::kLastCom));
    EXPECT_EQ(m_port.lastFailure(), "no such device: /nonexistent/ttyUSB9");
    EXPECT_EQ(m_port.currentDevice(), "/nonexistent/ttyUSB9");
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_stateChanges, 1);

    // The first COM number past the serial ports this host has, and without a link.
    const int unmapped = std::max(2, int(ComPortMap::hostSerialPorts().size()) + 1);
    if (unmapped < tolvane::kLastCom) {
        EXPECT_FALSE(openCom(m_port, unmapped));
        EXPECT_TRUE(m_port.lastFailure().startsWith(
            QStringLiteral("COM%1 maps to no device (no link in ").arg(unmapped)))
            << m_port.lastFailure();
    }

    EXPECT_TRUE(openCom(m_port, 1));
    EXPECT_EQ(m_port.lastFailure(), QString());
    EXPECT_EQ(m_port.currentDevice(), m_peer.slavePath());
}

// Another port of this tool, through an alias as a /dev/serial/by-id name is, or a terminal
// program that only takes flock: either way the device is refused while the other has it.
TEST_F(PortTest, ADeviceInUseElsewhereIsRefused)
{
    const QString alias = m_config.path() + "/by-id-alias";
    ASSERT_TRUE(QFile::link(m_peer.slavePath(), alias));
    linkCom(2, alias);
    ASSERT_TRUE(openCom(m_port, 1));
    HostSerialPort second;
    EXPECT_FALSE(openCom(second, 2));
    EXPECT_EQ(second.lastFailure(), alias + " is in use by another program");
    ASSERT_TRUE(m_port.setOpen(false));

    const int terminal = openWithFlock(m_peer.slavePath());
    ASSERT_GE(terminal, 0) << std::strerror(errno);
    EXPECT_FALSE(m_port.setOpen(true));
    EXPECT_EQ(m_port.lastFailure(), m_peer.slavePath() + " is in use by another program");
    EXPECT_FALSE(m_port.isOpen());
    ::close(terminal);

    ASSERT_TRUE(m_port.setOpen(true));
    // As root only the flock keeps the terminal out; otherwise TIOCEXCL refuses its open first.
    EXPECT_EQ(openWithFlock(m_peer.slavePath()), -1);
    EXPECT_EQ(errno, ::geteuid() == 0 ? EWOULDBLOCK : EBUSY) << std::strerror(errno);
    ASSERT_TRUE(m_port.setOpen(false));
    const int afterClose = openWithFlock(m_peer.slavePath());
    EXPECT_GE(afterClose, 0) << std::strerror(errno);
    ::close(afterClose);
}

// CI runs as root: the helper drops to nobody, who may not open the device.
TEST_F(PortTest, PermissionDeniedNamesTheDevicesOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand a device to other owners and to become nobody";
    // getpwnam and getgrnam reuse one buffer: keep the numbers, not the records.
    const passwd *nobody = ::getpwnam("nobody");
    ASSERT_TRUE(nobody);
    const uid_t nobodyUid = nobody->pw_uid;
    const gid_t nobodyGid = nobody->pw_gid;
    const group *found = ::getgrnam("tty");
    ASSERT_TRUE(found);
    const gid_t tty = found->gr_gid;
    found = ::getgrnam("dialout");
    ASSERT_TRUE(found);
    const gid_t dialout = found->gr_gid;
    // nobody runs a copy of the helper and follows the COM link, both in the test's own folder:
    // the build may lie in a folder only its owner enters, such as /root.
    if (!othersMayReach(m_config.path()))
        GTEST_SKIP() << "nobody cannot reach the temporary folder " << m_config.path().toStdString()
                     << ": point TMPDIR at a folder others may enter";
    ASSERT_EQ(::chmod(QFile::encodeName(m_config.path()).constData(), 0755), 0);
    const QString helper = m_config.path() + "/port-holder";
    ASSERT_TRUE(QFile::copy(QStringLiteral(PORT_HOLDER), helper));
    ASSERT_EQ(::chmod(QFile::encodeName(helper).constData(), 0755), 0);
    const QByteArray device = QFile::encodeName(m_peer.slavePath());
    const QString denied = "failed: permission denied on " + m_peer.slavePath();
    const struct
    {
        uid_t owner;
        gid_t group;
        mode_t mode;
        QString failure;
    } cases[] = {
        {0, tty, 0600, denied + " (owner root, group tty)"},
        {0, dialout, 0660,
         denied + " (owner root, group dialout): is the user in the dialout group?"},
        {54321, 54321, 0600, denied + " (owner 54321, group 54321)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failure.toStdString());
        ASSERT_EQ(::chown(device.constData(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(device.constData(), c.mode), 0);
        QProcess holder;
        holder.setChildProcessModifier([nobodyUid, nobodyGid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobodyGid) != 0 ||
                ::setuid(nobodyUid) != 0)
                ::_exit(127);
        });
        holder.start(helper, {"1"});
        ASSERT_TRUE(holder.waitForReadyRead(5000)) << holder.exitCode();
        EXPECT_EQ(QString::fromLocal8Bit(holder.readLine().trimmed()), c.failure);
        holder.closeWriteChannel();
        ASSERT_TRUE(holder.waitForFinished(5000));
    }
}

// What the port refuses leaves it as it was: closed it stays quietly closed, open it keeps its
// device and settings and goes on working.
TEST_F(PortTest, RefusalsLeaveThePortAsItWas)
{
    QByteArray received;
    EXPECT_FALSE(m_port.discardOutput());
    EXPECT_FALSE(m_port.discardInput());
    EXPECT_FALSE(m_port.write("#01\r"));
    EXPECT_FALSE(m_port.read(received));
    EXPECT_TRUE(m_port.setOpen(false));

    const auto line = [this] {
        const termios attributes = m_peer.attributes();
        return std::make_pair(cfgetospeed(&attributes), (attributes.c_cflag & CSTOPB) != 0);
    };
    linkCom(2, "/nonexistent/ttyUSB9");
    ASSERT_TRUE(openCom(m_port, 1, "38400,N,8,2"));
    EXPECT_EQ(line(), std::make_pair(speed_t(B38400), true));
    EXPECT_FALSE(m_port.setPortNumber(2));
    EXPECT_FALSE(m_port.setOpen(true));
    EXPECT_EQ(m_port.lastFailure(), QString());
    EXPECT_FALSE(m_port.setSettings("fast,N,8,1"));
    EXPECT_TRUE(m_port.lastFailure().contains("\"fast,N,8,1\" not understood"));
    EXPECT_EQ(line(), std::make_pair(speed_t(B38400), true));
    EXPECT_EQ(m_port.portNumber(), 1);
    ASSERT_TRUE(m_port.write("#02\r"));
    EXPECT_EQ(m_peer.receive(4), QByteArray("#02\r"));

    EXPECT_TRUE(m_port.setOpen(false));
    EXPECT_TRUE(m_port.setOpen(false));
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_FALSE(m_port.write("#01\r"));
    EXPECT_EQ(m_stateChanges, 3); // opened, settings refused, closed
}

// The end to end tests lose the device while the event loop runs; here an operation notices
// first, and the window still hears of it.
TEST_F(PortTest, OperationsWithoutEventPumpingNoticeTheLoss)
{
    int losses = 0;
    QObject::connect(&m_port, &HostSerialPort::deviceLost, [&losses] { ++losses; });
    QByteArray received;
    const std::function<bool()> operations[] = {
        [&] { return m_port.write("#01\r"); },
        [&] { return m_port.read(received); },
        [&] { return m_port.discardInput(); },
    };
    for (const auto &operation : operations) {
        Pty peer;
        ASSERT_TRUE(QFile::remove(QString::fromStdString(tolvane::comLinkPath(1))));
        linkCom(1, peer.slavePath());
        ASSERT_TRUE(openCom(m_port, 1));
        peer.hangUp();
        EXPECT_FALSE(operation());
        EXPECT_FALSE(m_port.isOpen());
        EXPECT_EQ(m_port.lastFailure(),
                  peer.slavePath() + ": device went away (unplugged or closed)");
    }
    EXPECT_EQ(losses, 3);
}

} // namespace
