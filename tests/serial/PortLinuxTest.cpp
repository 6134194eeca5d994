#include "PortFixture.h"

#include "core/ComLinks.h"
#include "serial/ComPortMap.h"

#include <QDir>
#include <QFile>
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

// What only the Linux port has: the COM map, the lock a terminal program shares, the device's
// owner and group.

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
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(dir.path()).constData(), &status) != 0 ||
            (status.st_mode & S_IXOTH) == 0)
            return false;
        if (dir.isRoot())
            return true;
    }
}

// A COM number that names no device says where the tool looked.
TEST_F(PortTest, AnUnmappedComSaysWhereItLooked)
{
    // The first COM number past the serial ports this host has, and without a link.
    const int unmapped = std::max(2, int(ComPortMap::hostSerialPorts().size()) + 1);
    if (unmapped > tolvane::kLastCom)
        GTEST_SKIP() << "this host has a serial port for every COM number";
    EXPECT_FALSE(openCom(*m_port, unmapped));
    EXPECT_EQ(m_port->currentDevice(), QString());
    EXPECT_TRUE(m_port->lastFailure().startsWith(
        QStringLiteral("COM%1 maps to no device (no link in ").arg(unmapped)))
        << m_port->lastFailure();
    EXPECT_EQ(m_stateChanges, 1);
}

// Another port of this tool, through an alias as a /dev/serial/by-id name is, or a terminal
// program that only takes flock: either way the device is refused while the other has it.
TEST_F(PortTest, ADeviceInUseElsewhereIsRefused)
{
    const QString device = m_peer->device();
    const QString alias = qEnvironmentVariable("XDG_CONFIG_HOME") + "/by-id-alias";
    ASSERT_TRUE(QFile::link(device, alias));
    ASSERT_TRUE(QFile::link(alias, QString::fromStdString(tolvane::comLinkPath(2))));
    ASSERT_TRUE(openCom(*m_port, 1));
    PlatformSerialPort second;
    EXPECT_FALSE(openCom(second, 2));
    EXPECT_EQ(second.lastFailure(), alias + " is in use by another program");
    ASSERT_TRUE(m_port->setOpen(false));

    const int terminal = openWithFlock(device);
    ASSERT_GE(terminal, 0) << std::strerror(errno);
    EXPECT_FALSE(m_port->setOpen(true));
    EXPECT_EQ(m_port->lastFailure(), device + " is in use by another program");
    EXPECT_FALSE(m_port->isOpen());
    ::close(terminal);

    ASSERT_TRUE(m_port->setOpen(true));
    // As root only the flock keeps the terminal out; otherwise TIOCEXCL refuses its open first.
    EXPECT_EQ(openWithFlock(device), -1);
    EXPECT_EQ(errno, ::geteuid() == 0 ? EWOULDBLOCK : EBUSY) << std::strerror(errno);
    ASSERT_TRUE(m_port->setOpen(false));
    const int afterClose = openWithFlock(device);
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
    // nobody runs a copy of the helper and follows the COM link, both in the peer's own folder
    // (XDG_CONFIG_HOME): the build may lie in a folder only its owner enters, such as /root.
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!othersMayReach(folder))
        GTEST_SKIP() << "nobody cannot reach the temporary folder " << folder.toStdString()
                     << ": point TMPDIR at a folder others may enter";
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    const QString helper = folder + "/port-holder";
    ASSERT_TRUE(QFile::copy(QStringLiteral(PORT_HOLDER), helper));
    ASSERT_EQ(::chmod(QFile::encodeName(helper).constData(), 0755), 0);
    const QByteArray device = QFile::encodeName(m_peer->device());
    const QString denied = "failed: permission denied on " + m_peer->device();
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

} // namespace
