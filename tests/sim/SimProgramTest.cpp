#include "Shape.h"
#include "SimProcess.h"
#include "core/ComLinks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char *kEngineeringReply = R"(>\s\d\d.\d\d\d\r)";
constexpr int kSilenceWindowMs = 300;

std::vector<std::string> traceLines(const std::string &path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string text; std::getline(file, text);)
        lines.push_back(text);
    return lines;
}

// The sim reads the line's rate when the command reaches it, so a test may change the rate
// only after the sim has taken the command, which its trace shows.
bool waitForTrace(const std::string &path, std::size_t lines)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (traceLines(path).size() < lines) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SimProgram : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_home.path().empty());
        ::setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
    }

    std::string tracePath() const { return m_home.path() + "/trace.log"; }

    std::string linkPath(int com) const { return tolvane::comLinkPath(com); }
    std::string linkTarget(int com) const { return fs::read_symlink(linkPath(com)).string(); }
    void makeForeignLink(int com, const std::string &target) const
    {
        fs::create_directories(tolvane::linkDirectory());
        fs::create_symlink(target, linkPath(com));
    }

    TempDir m_home;
};

TEST_F(SimProgram, AnswersOnItsRateOnlyAndOutlivesThePortBeingClosed)
{
    SimProcess sim(m_home.path(), {"--trace", tracePath()});
    ASSERT_TRUE(sim.readBanner()) << sim.banner();
    EXPECT_EQ(sim.com(), 1);
    EXPECT_EQ(linkTarget(1), sim.slavePath());

    {
        SerialLine line(sim.slavePath(), 9600);
        ASSERT_TRUE(line.isOpen());
        line.send("#01");
        EXPECT_TRUE(hasShape(line.readReply(), kEngineeringReply));

        line.setBaud(19200);
        line.send("#01");
        ASSERT_TRUE(waitForTrace(tracePath(), 2));
        EXPECT_EQ(line.drain(kSilenceWindowMs), "");

        line.setBaud(9600);
        line.send("#02");
        line.send("#01");
        const std::string reply = line.readReply();
        EXPECT_TRUE(hasShape(reply, kEngineeringReply)) << reply;
        EXPECT_EQ(line.drain(kSilenceWindowMs), "") << "answered the mismatched or foreign read";
    }
    SerialLine reopened(sim.slavePath(), 9600);
    reopened.send("#01");
    EXPECT_TRUE(hasShape(reopened.readReply(), kEngineeringReply));
    EXPECT_EQ(sim.stopWith(SIGTERM), 0);
}

TEST_F(SimProgram, RateChangeIsAcknowledgedAtTheOldRate)
{
    SimProcess sim(m_home.path(),
                   {"--jumper", "--address", "0A", "--split", "--trace", tracePath()});
    ASSERT_TRUE(sim.readBanner());
    SerialLine line(sim.slavePath(), 9600);
    line.send("%0A0B000702");
    EXPECT_EQ(line.readReply(), "!0B\r");
    line.send("#0B");
    ASSERT_TRUE(waitForTrace(tracePath(), 2));
    EXPECT_EQ(line.drain(kSilenceWindowMs), "");
    line.setBaud(19200);
    line.send("#0B");
    const std::string reply = line.readReply();
    EXPECT_TRUE(hasShape(reply, R"(>\x\x\x\x\r)")) << reply;
}

TEST_F(SimProgram, NeverTakesSomeoneElsesLink)
{
    makeForeignLink(1, "/dev/someone-elses-port");

    SimProcess second(m_home.path(), {});
    ASSERT_TRUE(second.readBanner());
    EXPECT_EQ(second.com(), 2);
    EXPECT_EQ(linkTarget(2), second.slavePath());

    SimProcess forced(m_home.path(), {"--com", "1"});
    EXPECT_NE(forced.waitExit(), 0);
    EXPECT_NE(forced.stderrText().find("com1"), std::string::npos);
    EXPECT_EQ(linkTarget(1), "/dev/someone-elses-port");

    SimProcess chosen(m_home.path(), {"--com=7"});
    ASSERT_TRUE(chosen.readBanner());
    EXPECT_EQ(chosen.com(), 7);
}

TEST_F(SimProgram, EachEndingSignalRemovesItsOwnLinkAndExitsZero)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        SimProcess sim(m_home.path(), {"--com", "3"});
        ASSERT_TRUE(sim.readBanner());
        ASSERT_TRUE(fs::is_symlink(linkPath(3)));
        EXPECT_EQ(sim.stopWith(signal), 0);
        EXPECT_FALSE(fs::is_symlink(linkPath(3)));
    }
}

TEST_F(SimProgram, LeavesAReplacedLinkAlone)
{
    SimProcess sim(m_home.path(), {});
    ASSERT_TRUE(sim.readBanner());
    fs::remove(linkPath(1));
    makeForeignLink(1, "/dev/replacement");
    EXPECT_EQ(sim.stopWith(SIGTERM), 0);
    EXPECT_EQ(linkTarget(1), "/dev/replacement");
}

TEST_F(SimProgram, BadOptionsExitTwoWithAMessage)
{
    const std::string past = std::to_string(tolvane::kLastCom + 1);
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},         {"--com"},          {"--com", "0"},      {"--com", past},
        {"--address", "1G"}, {"--baud", "1234"}, {"--reply-delay=x"},
    };
    for (const auto &args : cases) {
        SimProcess sim(m_home.path(), args);
        EXPECT_EQ(sim.waitExit(), 2) << args.front();
        const std::string message = sim.stderrText();
        EXPECT_NE(message.find(args.front().substr(0, args.front().find('='))), std::string::npos)
            << message;
    }
    EXPECT_FALSE(fs::exists(tolvane::linkDirectory())) << "a failed start left files behind";
}

TEST_F(SimProgram, TraceRecordsCommandsRatesAndReasons)
{
    SimProcess sim(m_home.path(), {"--trace", tracePath()});
    ASSERT_TRUE(sim.readBanner());
    SerialLine line(sim.slavePath(), 9600);
    line.send("#01");
    ASSERT_FALSE(line.readReply().empty());
    line.setBaud(19200);
    line.send("#01");
    ASSERT_TRUE(waitForTrace(tracePath(), 2));
    line.setBaud(9600);
    line.send(std::string("#02\x01"));
    line.send("#01");
    ASSERT_FALSE(line.readReply().empty());
    ASSERT_EQ(sim.stopWith(SIGTERM), 0);

    const std::vector<std::string> lines = traceLines(tracePath());
    const std::vector<std::string> expected = {
        R"(baud=9600 "#01" -> ">\s\d\d.\d\d\d\\r")",
        R"(baud=19200 "#01" -> (no reply: baud mismatch, module at 9600))",
        R"(baud=9600 "#02\\x01" -> (no reply: wrong address))",
        R"(baud=9600 "#01" -> ">*")",
    };
    ASSERT_EQ(lines.size(), expected.size());
    const std::string stamp = R"(\d\d\d\d-\d\d-\d\dT\d\d:\d\d:\d\d.\d\d\d )";
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(hasShape(lines[i], stamp + expected[i])) << lines[i];
}

TEST_F(SimProgram, SilentNeverAnswersButTraces)
{
    SimProcess sim(m_home.path(), {"--silent", "--trace", tracePath()});
    ASSERT_TRUE(sim.readBanner());
    SerialLine line(sim.slavePath(), 9600);
    line.send("#01");
    ASSERT_TRUE(waitForTrace(tracePath(), 1));
    EXPECT_EQ(line.drain(kSilenceWindowMs), "");
    ASSERT_EQ(sim.stopWith(SIGTERM), 0);
    const std::vector<std::string> lines = traceLines(tracePath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"#01\" -> (no reply: silent)"), std::string::npos) << lines[0];
}

TEST_F(SimProgram, ReplyDelayHoldsTheReplyBack)
{
    SimProcess sim(m_home.path(), {"--reply-delay", "150"});
    ASSERT_TRUE(sim.readBanner());
    SerialLine line(sim.slavePath(), 9600);
    const auto sent = std::chrono::steady_clock::now();
    line.send("#01");
    const std::string reply = line.readReply();
    const auto waited = std::chrono::steady_clock::now() - sent;
    EXPECT_TRUE(hasShape(reply, kEngineeringReply)) << reply;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
}

} // namespace
