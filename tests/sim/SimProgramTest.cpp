// tolvane-sim as a process on its own pseudo-terminal: what is about the program, not the
// protocol (SimModuleTest has that): its COM link, its ending, its options at work on a real line.
#include "Match.h"
#include "Pty.h"
#include "QtPrinting.h"
#include "SimProcess.h"
#include "core/ComLinks.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char *kEngineeringReply = R"(>[+-]\d\d\.\d{3}\r)";
constexpr int kSilenceWindowMs = 300;

class SimProgram : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    }

    SimProcess *start(const QStringList &args)
    {
        m_sims.push_back(std::make_unique<SimProcess>(m_home.path(), args));
        return m_sims.back().get();
    }
    std::string tracePath() const { return m_home.filePath("trace.log").toStdString(); }
    std::vector<std::string> traceLines() const
    {
        std::ifstream file(tracePath());
        std::vector<std::string> lines;
        for (std::string text; std::getline(file, text);)
            lines.push_back(text);
        return lines;
    }
    // The sim reads the line's rate when the command reaches it, so a test may change the rate
    // only after the sim has taken the command, which its trace shows.
    bool waitForTrace(std::size_t lines) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (traceLines().size() < lines) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    static std::string linkPath(int com) { return tolvane::comLinkPath(com); }
    static std::string linkTarget(int com) { return fs::read_symlink(linkPath(com)).string(); }
    static void makeForeignLink(int com, const std::string &target)
    {
        fs::create_directories(tolvane::linkDirectory());
        fs::create_symlink(target, linkPath(com));
    }

    QTemporaryDir m_home;
    std::vector<std::unique_ptr<SimProcess>> m_sims;
};

// Every option at work on a real line: another rate and address, replies held back, late and
// split; a rate change acknowledged at the old rate; the line closed and opened again; a module
// that never replies; and the trace saying what came at which rate, what became of each reply
// and why a line went unanswered.
TEST_F(SimProgram, OptionsAndTraceAtWorkOnTheLine)
{
    SimProcess *sim =
        start({"--jumper", "--baud", "2400", "--address", "0A", "--split", "--reply-delay", "200",
               "--late", "50", "--trace", QString::fromStdString(tracePath())});
    ASSERT_TRUE(sim->readBanner());
    {
        Pty line(sim->slavePath(), 2400);
        line.send("#0A\r");
        EXPECT_EQ(line.drain(100), "") << "--reply-delay and --late did not hold the reply back";
        const QByteArray piece = line.receive(1);
        const QByteArray reply = piece + line.reply();
        EXPECT_TRUE(matches(reply, kEngineeringReply)) << reply.constData();
        EXPECT_LT(piece.size(), reply.size()) << "--split sent the reply whole";

        // Where no module speaks MODBUS a frame is nobody's: no reply and no trace line.
        line.send(QByteArray::fromHex("0a040000000130b1"));
        EXPECT_EQ(line.drain(50), "");

        line.send("#02\x01\r%0A0B000702\r");
        EXPECT_EQ(line.reply(), "!0B\r");
        line.send("#0B\r");
        ASSERT_TRUE(waitForTrace(4));
        EXPECT_EQ(line.drain(kSilenceWindowMs), "");
    }
    Pty reopened(sim->slavePath(), 19200);
    reopened.send("#0B\r");
    EXPECT_TRUE(matches(reopened.reply(), R"(>[0-9A-F]{4}\r)"));
    reopened.send("$00P1\r");
    EXPECT_EQ(reopened.reply(), "!0B\r");
    reopened.send("#0B\r");
    ASSERT_TRUE(waitForTrace(7));
    EXPECT_EQ(reopened.drain(kSilenceWindowMs), "");
    ASSERT_EQ(sim->stopWith(SIGTERM), 0);

    // A module that never replies, tracing to the same file: a trace is appended to.
    SimProcess *silent = start({"--silent", "--trace", QString::fromStdString(tracePath())});
    ASSERT_TRUE(silent->readBanner());
    Pty quiet(silent->slavePath(), 9600);
    quiet.send("#01\r");
    ASSERT_TRUE(waitForTrace(8));
    EXPECT_EQ(quiet.drain(kSilenceWindowMs), "");

    const std::vector<std::string> lines = traceLines();
    const std::vector<std::string> expected = {
        R"(baud=2400 "#0A" -> ">[+-]\d\d\.\d{3}\\r" \[late 50 ms\])",
        R"(baud=2400 "#02\\x01" -> \(no reply: wrong address\))",
        R"(baud=2400 "%0A0B000702" -> "!0B\\r" \[late 50 ms\])",
        R"(baud=2400 "#0B" -> \(no reply: baud mismatch, module at 19200\))",
        R"(baud=19200 "#0B" -> ">[0-9A-F]{4}\\r" \[late 50 ms\])",
        R"(baud=19200 "\$00P1" -> "!0B\\r" \[late 50 ms\])",
        R"(baud=19200 "#0B" -> \(no reply: modbus\))",
        R"(baud=9600 "#01" -> \(no reply: silent\))",
    };
    std::string all;
    for (const std::string &line : lines)
        all += line + '\n';
    ASSERT_EQ(lines.size(), expected.size()) << all;
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} )";
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(matches(lines[i], stamp + expected[i])) << lines[i];
}

TEST_F(SimProgram, NeverTakesSomeoneElsesLink)
{
    makeForeignLink(1, "/dev/someone-elses-port");

    SimProcess *second = start({});
    ASSERT_TRUE(second->readBanner());
    EXPECT_EQ(second->com(), 2);
    EXPECT_EQ(QString::fromStdString(linkTarget(2)), second->slavePath());

    SimProcess *forced = start({"--com", "1"});
    EXPECT_NE(forced->waitExit(), 0);
    EXPECT_TRUE(forced->stderrText().contains(
        QString::fromStdString("COM1 is taken: " + linkPath(1) +
                               " -> /dev/someone-elses-port (remove it if it is stale)")))
        << forced->stderrText().toStdString();
    EXPECT_EQ(linkTarget(1), "/dev/someone-elses-port");

    // Its own link replaced while it ran: it leaves the replacement alone when it ends.
    fs::remove(linkPath(2));
    makeForeignLink(2, "/dev/replacement");
    EXPECT_EQ(second->stopWith(SIGTERM), 0);
    EXPECT_EQ(linkTarget(2), "/dev/replacement");
}

TEST_F(SimProgram, EachEndingSignalRemovesItsOwnLinkAndExitsZero)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        SimProcess *sim = start({"--com", "3"});
        ASSERT_TRUE(sim->readBanner());
        ASSERT_TRUE(fs::is_symlink(linkPath(3)));
        EXPECT_EQ(sim->stopWith(signal), 0);
        EXPECT_FALSE(fs::is_symlink(linkPath(3)));
    }
}

// A wake-up with nothing left to read is no failure of the line: here a second reader of the
// sim's own end takes each byte first, and the sim still answers afterwards.
TEST_F(SimProgram, AWakeUpWithNothingToReadIsNoFailure)
{
    SimProcess *sim = start({"--instant"});
    ASSERT_TRUE(sim->readBanner());
    Pty line(sim->slavePath(), 9600);
    // The sim's master, shared through pidfd_getfd: a child may be traced by its parent.
    const int process = int(::syscall(SYS_pidfd_open, pid_t(sim->pid()), 0));
    int master = -1;
    for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(sim->pid()) + "/fd")) {
        if (process >= 0 && master < 0 && fs::read_symlink(fd).filename() == "ptmx")
            master = int(::syscall(SYS_pidfd_getfd, process, std::stoi(fd.path().filename()), 0));
    }
    ::close(process);
    if (master < 0)
        GTEST_SKIP() << "cannot share the sim's end of the line here";
    for (int i = 0; i < 1000; ++i) {
        line.send("\n");
        // Wait until the byte is there, then take it a little later each time, to land between
        // the sim's wake-up and its read.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
        int queued = 0;
        while ((::ioctl(master, FIONREAD, &queued) != 0 || queued == 0) &&
               std::chrono::steady_clock::now() < giveUp) {
        }
        const auto at = std::chrono::steady_clock::now() + std::chrono::microseconds(i % 40);
        while (std::chrono::steady_clock::now() < at) {
        }
        // Losing the race (the sim read it first) leaves nothing here: either outcome is fine.
        char byte;
        if (::read(master, &byte, 1) < 0)
            continue;
    }
    ::close(master);
    line.send("#01\r");
    EXPECT_TRUE(matches(line.reply(), kEngineeringReply)) << sim->stderrText().toStdString();
}

// Which options are bad is the option parser's table; here only what the process does with one.
TEST_F(SimProgram, ABadOptionExitsTwoWithAMessageAndLeavesNothing)
{
    SimProcess *sim = start({"--baud", "1234"});
    EXPECT_EQ(sim->waitExit(), 2);
    EXPECT_TRUE(sim->stderrText().contains("--baud"));
    EXPECT_FALSE(fs::exists(tolvane::linkDirectory())) << "a failed start left files behind";
}

} // namespace
