// What a save does with the file system's own kinds of file and limits on Linux.
#include "SaveLogFixture.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The test's own node of the full device: a fault in the save must never be able to replace the
// system's /dev/full.
const SaveFailure posixFailures[] = {
    {"FullDevice",
     [](const QString &folder) {
         const QString device = folder + QStringLiteral("/full");
         return ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0
                    ? device
                    : QString();
     },
     QStringLiteral("No space left on device"), "making a device node needs root"},
    {"FifoWithNoReaderFailsAtOnce",
     [](const QString &folder) {
         const QString fifo = folder + QStringLiteral("/pipe");
         return ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 ? fifo : QString();
     },
     QStringLiteral("No such device or address"), "this folder's file system holds no FIFO"},
    {"MissingFolder",
     [](const QString &folder) { return folder + QStringLiteral("/no/such/folder/log.txt"); },
     QStringLiteral("No such file or directory")},
};

INSTANTIATE_TEST_SUITE_P(Posix, SaveFails, ::testing::ValuesIn(posixFailures),
                         [](const auto &info) { return std::string(info.param.name); });

// A new file gets the mode the umask allows, and the umask is the process's own again after. A
// later write that fails part way (here: the file size limit) leaves that file as it was.
TEST_F(SaveLogTest, ANewFileGetsTheUmasksModeAndAWriteFailingPartWayKeepsIt)
{
    const QString target = pathOf("log.txt");
    dialogAnswer = target;
    const mode_t processMask = ::umask(022);
    ops.SaveLog();
    EXPECT_EQ(::umask(processMask), mode_t(022));
    struct stat made = {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, mode_t(0644));
    const QByteArray earlier = contents(target);
    while (log.text().size() <= 8192)
        send("#01", QByteArray(">+05.123 a longer reply to grow the log\r"));
    const QString logBefore = log.text();

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ops.SaveLog();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    expectOneMessage(target, QStringLiteral("too large"));
    EXPECT_EQ(contents(target), earlier);
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("log.txt")});
}

// A FIFO is written in place and whole, however slowly its reader takes it: here the reader
// starts only once the pipe is full, so the save has to wait for room.
TEST_F(SaveLogTest, AFifoIsWrittenInPlaceAndWholeToASlowReader)
{
    const QString fifo = pathOf("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    dialogAnswer = fifo;
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const int capacity = ::fcntl(reader, F_SETPIPE_SZ, 4096);
    ASSERT_GT(capacity, 0);
    while (log.text().size() <= 2 * capacity)
        send("#01", QByteArray(">+05.123\r"));

    std::atomic<bool> saved{false};
    QByteArray got;
    std::thread slowReader([&] {
        int queued = 0;
        while (!saved && (::ioctl(reader, FIONREAD, &queued) != 0 || queued < capacity))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
        char buffer[512];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
            got.append(buffer, int(n));
    });
    ops.SaveLog();
    saved = true;
    slowReader.join();
    ::close(reader);
    EXPECT_EQ(got, wholeLog());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

} // namespace
