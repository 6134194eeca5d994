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

// A new file gets the mode the umask allows, and the umask is the process's own again after.
TEST_F(SaveLogTest, ANewFileGetsTheModeTheUmaskAllows)
{
    const mode_t saved = ::umask(022);
    dialogAnswer = pathOf("log.txt");
    ops.SaveLog();
    const mode_t after = ::umask(saved);
    EXPECT_EQ(after, mode_t(022));
    struct stat made
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(pathOf("log.txt")).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 07777, mode_t(0644));
}

// A file that cannot be written: one message naming it and the system's reason, the log, the
// folder and an earlier file as they were, and a device or FIFO never replaced by a plain file.
struct SaveFailure
{
    const char *name;
    QString (*target)(const QString &folder); // empty: cannot be set up here
    const char *reason;                       // part of the message
    mode_t typeAfter;                         // the target's file type afterwards; 0: none
    rlim_t sizeLimit;                         // the file size limit during the save; 0: none
};

const SaveFailure saveFailures[] = {
    // The test's own node of the full device: a fault in the save must never be able to
    // replace the system's /dev/full.
    {"FullDevice",
     [](const QString &folder) {
         const QString device = folder + QStringLiteral("/full");
         return ::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0
                    ? device
                    : QString();
     },
     "No space left on device", S_IFCHR, 0},
    {"FifoWithNoReaderFailsAtOnce",
     [](const QString &folder) {
         const QString fifo = folder + QStringLiteral("/pipe");
         return ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 ? fifo : QString();
     },
     "No such device or address", S_IFIFO, 0},
    {"MissingFolder",
     [](const QString &folder) { return folder + QStringLiteral("/no/such/folder/log.txt"); },
     "No such file or directory", 0, 0},
    // A write that fails part way: the earlier file stays as it was.
    {"WriteFailingPartWay",
     [](const QString &folder) {
         const QString file = folder + QStringLiteral("/log.txt");
         QFile earlier(file);
         return earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7 ? file
                                                                                    : QString();
     },
     "too large", S_IFREG, 4096},
};

class SaveFails : public SaveLogTest, public ::testing::WithParamInterface<SaveFailure>
{
};

TEST_P(SaveFails, WithAMessageAndTheLogAsItWas)
{
    const SaveFailure &failure = GetParam();
    const QString target = failure.target(dir.path());
    if (target.isEmpty())
        GTEST_SKIP() << "cannot make the target here (a device node needs root)";
    const QStringList before = entries();
    // Reading a device or a FIFO would not end.
    const bool regular = failure.typeAfter == S_IFREG;
    const QByteArray targetBefore = regular ? contents(target) : QByteArray();
    while (log.text().size() <= 8192)
        send("#01", QByteArray(">+05.123 a longer reply to grow the log\r"));
    const QString logBefore = log.text();
    dialogAnswer = target;

    struct rlimit saved
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    if (failure.sizeLimit != 0)
        limited.rlim_cur = failure.sizeLimit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ops.SaveLog();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    expectOneMessage(target, QString::fromLatin1(failure.reason));
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(entries(), before);
    EXPECT_EQ(regular ? contents(target) : QByteArray(), targetBefore);
    struct stat after
    {
    };
    const bool exists = ::stat(QFile::encodeName(target).constData(), &after) == 0;
    EXPECT_EQ(exists ? after.st_mode & S_IFMT : 0, failure.typeAfter);
}

INSTANTIATE_TEST_SUITE_P(Core, SaveFails, ::testing::ValuesIn(saveFailures),
                         [](const auto &info) { return std::string(info.param.name); });

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
    expectNoMessage();
}

} // namespace
