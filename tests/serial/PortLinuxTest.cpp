#include "PortFixture.h"

#include "core/ComLinks.h"
#include "serial/ComPortMap.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// CI runs as root: the port opens as nobody, who may not open the device.
TEST_F(PortTest, PermissionDeniedNamesTheDevicesOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand a device to other owners and to become nobody";
    // getpwnam and getgrnam reuse one buffer: keep the numbers, not the records.
    const passwd *nobody = ::getpwnam("nobody");
    ASSERT_TRUE(nobody);
    const uid_t nobodyUid = nobody->pw_uid;
    const gid_t nobodyGid = nobody->pw_gid;
    const group *dialoutGroup = ::getgrnam("dialout");
    ASSERT_TRUE(dialoutGroup);
    const gid_t dialout = dialoutGroup->gr_gid;
    const gid_t rootGid = ::getgid();
    std::vector<gid_t> groups(std::size_t(::getgroups(0, nullptr)));
    ASSERT_EQ(::getgroups(int(groups.size()), groups.data()), int(groups.size()));
    // Runs `step` as nobody; the saved user id stays root, so the test is root again after it.
    const auto asNobody = [&](const std::function<void()> &step) {
        ASSERT_EQ(::setgroups(0, nullptr), 0);
        ASSERT_EQ(::setresgid(nobodyGid, nobodyGid, rootGid), 0);
        ASSERT_EQ(::setresuid(nobodyUid, nobodyUid, 0), 0);
        step();
        ASSERT_EQ(::setresuid(0, 0, 0), 0);
        ASSERT_EQ(::setresgid(rootGid, rootGid, rootGid), 0);
        ASSERT_EQ(::setgroups(groups.size(), groups.data()), 0);
    };
    // nobody follows the COM link in the peer's own folder (XDG_CONFIG_HOME): the build may lie
    // in a folder only its owner enters, such as /root.
    const QByteArray folder = qgetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(::chmod(folder.constData(), 0755), 0);
    bool reachable = false;
    asNobody([&] { reachable = ::access(folder.constData(), X_OK) == 0; });
    if (!reachable)
        GTEST_SKIP() << "nobody cannot reach the temporary folder " << folder.constData()
                     << ": point TMPDIR at a folder others may enter";
    const QByteArray device = QFile::encodeName(m_peer->device());
    const QString denied = "permission denied on " + m_peer->device();
    const struct
    {
        uid_t owner;
        gid_t group;
        QString failure;
    } cases[] = {
        {0, dialout, denied + " (owner root, group dialout): is the user in the dialout group?"},
        {54321, 54321, denied + " (owner 54321, group 54321)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failure.toStdString());
        ASSERT_EQ(::chown(device.constData(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(device.constData(), 0660), 0);
        bool opened = true;
        asNobody([&] { opened = openCom(*m_port, 1); });
        EXPECT_FALSE(opened);
        EXPECT_EQ(m_port->lastFailure(), c.failure);
    }
}

} // namespace
