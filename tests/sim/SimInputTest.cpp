#include "LineAssembler.h"
#include "SimOptions.h"
#include "TextUtil.h"
#include "Trace.h"
#include "core/ComLinks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace sim;

namespace {

struct LineCase
{
    const char *name;
    std::vector<std::string> feeds;
    std::vector<std::string> lines;
};

const std::string kLongJunk(LineAssembler::kMaxLine + 1, 'x');
const std::string kLongest(LineAssembler::kMaxLine, 'y');

TEST(SimLineAssembler, SplitsOnCarriageReturn)
{
    const LineCase cases[] = {
        {"one command", {"#01\r"}, {"#01"}},
        {"split across reads", {"#0", "1\r$01", "P0\r"}, {"#01", "$01P0"}},
        {"line feeds ignored", {"\n#01\r\n", "#02\n\r"}, {"#01", "#02"}},
        {"no CR yet", {"#01"}, {}},
        {"empty line", {"\r"}, {""}},
        {"longest line kept", {kLongest + "\r"}, {kLongest}},
        {"junk dropped up to its CR", {kLongJunk, "more\r#01\r"}, {"#01"}},
    };
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.name);
        LineAssembler assembler;
        std::vector<std::string> lines;
        for (const std::string &feed : c.feeds) {
            for (std::string &line : assembler.feed(feed.data(), feed.size()))
                lines.push_back(line);
        }
        EXPECT_EQ(lines, c.lines);
    }
}

// The trace shows each command and reply on one line, whatever bytes they hold.
TEST(SimText, EscapesControlBytes)
{
    EXPECT_EQ(escaped(std::string("a\r\n\t\"\\\x01\x7f\xff", 9)),
              "a\\r\\n\\t\\\"\\\\\\x01\\x7F\\xFF");
}

// Answers that collide stand on one line, each with its module and what became of it.
TEST(SimText, TraceNamesEachAnswerOfACollision)
{
    const std::string path =
        testing::TempDir() + "collision-" + std::to_string(::getpid()) + ".trace";
    {
        Trace trace;
        std::string error;
        ASSERT_TRUE(trace.open(path, &error)) << error;
        trace.record(9600, "$00P0", false, {{{"!01\r", 0, "01"}, {"!02\r", 0, "02"}}, ""},
                     {"", "[late 50 ms]"});
    }
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    std::remove(path.c_str());
    EXPECT_EQ(line.substr(line.find(" baud=")),
              R"( baud=9600 "$00P0" -> "!01\r" from 01 + "!02\r" from 02 [late 50 ms])"
              " (collision: several modules answered)");
}

// The process tests see the options at work, and the line tests a module's baud, format, jumper
// and protocol; here what they do not start: the limits and the lower-case hex, a module's delay,
// a name with a space and an empty firmware, the faults' shares, help and version.
TEST(SimOptions, GoodArguments)
{
    const ParsedOptions all = parseOptions(
        {"--com", std::to_string(tolvane::kLastCom), "--address=a5", "--baud", "115200"});
    ASSERT_EQ(all.error, "");
    EXPECT_EQ(all.options.com, tolvane::kLastCom);
    EXPECT_EQ(all.options.address, 0xA5);
    EXPECT_EQ(all.options.baud, 115200);
    const ParsedOptions line = parseOptions(
        {"--module", "02,delay=5", "--module=0a,delay=0,name=PT100 IN,firmware=", "--drop", "0.25",
         "--late", "300,0.5"});
    ASSERT_EQ(line.error, "");
    ASSERT_EQ(line.options.modules.size(), 2u);
    EXPECT_EQ(line.options.modules[0].replyDelayMs, 5);
    EXPECT_EQ(line.options.modules[1].address, 0x0A);
    EXPECT_EQ(line.options.modules[1].replyDelayMs, 0); // no processing time at all
    EXPECT_EQ(line.options.modules[1].name, "PT100 IN");
    EXPECT_EQ(line.options.modules[1].firmware, ""); // refuses $AAF
    EXPECT_EQ(line.options.dropShare, 0.25);
    EXPECT_EQ(line.options.lateMs, 300);
    EXPECT_EQ(line.options.lateShare, 0.5);
    EXPECT_TRUE(parseOptions({"--help"}).options.help);
    EXPECT_TRUE(parseOptions({"--version"}).options.version);
}

TEST(SimOptions, BadArgumentsNameTheProblem)
{
    const std::string last = std::to_string(tolvane::kLastCom);
    const std::string past = std::to_string(tolvane::kLastCom + 1);
    const struct
    {
        std::vector<std::string> args;
        std::string mention;
    } cases[] = {
        // clang-format off
        {{"--bogus"}, "unknown option '--bogus'"}, {{"stray"}, "unexpected argument 'stray'"},
        {{"--com"}, "--com needs a value"},        {{"--com", "0"}, last},
        {{"--com", past}, last},                   {{"--com", "x"}, "--com: expected "},
        {{"--address", "1G"}, "hex"},              {{"--address", "123"}, "--address"},
        {{"--baud", "1234"}, "9600"},              {{"--reply-delay", "-5"}, "--reply-delay"},
        {{"--trace="}, "--trace"},                 {{"--jumper=1"}, "--jumper"},
        {{"--module", "1"}, "two hex digits"},    {{"--module", "01,baud=1234"}, "not 'baud=1234'"},
        {{"--module", "01,format=03"}, "format=00|01|02"},
        {{"--module", "01,name=ABCDEFGHIJKLMNOPQ"}, "up to 16"},
        {{"--module", "01,name"}, "not 'name'"},   {{"--module", "01,firmware=\t"}, "firmware=TEXT"},
        {{"--module", "01", "--module", "01"}, "one module per address"},
        {{"--address", "02", "--module", "01"}, "--address is for a line of one module"},
        {{"--drop", "1.5"}, "--drop: expected a share"}, {{"--garble", "x"}, "--garble"},
        {{"--late", "300,2"}, "--late"},          {{"--seed", "-1"}, "--seed"},
        {{"--baud", "9999999999"}, "9600"}, // ten digits, past int: refused, not a crash
        // clang-format on
    };
    for (const auto &c : cases) {
        const std::string error = parseOptions(c.args).error;
        EXPECT_NE(error.find(c.mention), std::string::npos)
            << c.args.front() << " gave \"" << error << '"';
    }
}

} // namespace
