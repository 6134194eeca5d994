// tolvane-find as a process against tolvane-sim lines over pseudo-terminals: the parts meet.
// Each search covers a few rates and addresses; the whole search is the benchmark's.
#include "Pty.h"
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct FindRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class FindLine : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    // A line of modules; its COM number.
    int startLine(QStringList args)
    {
        args << QStringLiteral("--trace") << tracePath();
        m_sim = std::make_unique<SimProcess>(m_home.path(), args);
        EXPECT_TRUE(m_sim->readBanner());
        return m_sim->com();
    }
    QString tracePath() const { return m_home.filePath(QStringLiteral("trace.log")); }
    QByteArray trace() const
    {
        QFile file(tracePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Output to pipes: no terminal.
    void startFind(QProcess &process, const QStringList &args)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TOLVANE_FIND_PATH), args);
    }
    FindRun find(const QStringList &args)
    {
        QProcess process;
        startFind(process, args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    // Output to a terminal; once `interruptAfter` shows in it, a Ctrl+C.
    FindRun findOnTerminal(const QStringList &args, const QByteArray &interruptAfter)
    {
        Pty terminal;
        const QByteArray slave = QFile::encodeName(terminal.slavePath());
        QProcess process;
        process.setChildProcessModifier([&slave] {
            const int fd = ::open(slave.constData(), O_RDWR);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        });
        startFind(process, args);
        FindRun run;
        for (int wait = 0; wait < 300 && !run.out.contains(interruptAfter); ++wait)
            run.out += terminal.drain(100);
        ::kill(pid_t(process.processId()), SIGINT);
        EXPECT_TRUE(process.waitForFinished(10000));
        run.out += terminal.drain(200);
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return run;
    }

    QTemporaryDir m_home;
    std::unique_ptr<SimProcess> m_sim;
};

// The bench of the issue: one module at 1200 baud, one in MODBUS RTU, one at 115200 with the
// two's complement format and its jumper fitted.
TEST_F(FindLine, FindsEachModuleOfAMixedLineAtItsAddressRateAndProtocol)
{
    const int com =
        startLine({"--module", "02,baud=1200,name=SLOW", "--module", "05,modbus", "--module",
                   "0A,baud=115200,format=02,jumper,name=FAST,firmware=B2.0"});
    const FindRun run = find({"--com", QString::number(com), "--rates", "1200,9600,115200",
                              "--addresses", "00-0A", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_FALSE(run.err.contains('\r')); // no progress line off a terminal
    // Each module as "address rate protocol format name|firmware|note", by address.
    QStringList found;
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(result[QLatin1String("end")].toString(), QStringLiteral("found"));
    for (const QJsonValue &module : result[QLatin1String("modules")].toArray()) {
        const auto text = [&module](const char *key) {
            return module[QLatin1String(key)].toString();
        };
        found << QStringLiteral("%1 %2 %3 %4 %5|%6|%7")
                     .arg(module[QLatin1String("address")].toInt(), 2, 16, QLatin1Char('0'))
                     .arg(module[QLatin1String("rate")].toInt())
                     .arg(text("protocol"), text("format"), text("name"), text("firmware"),
                          text("note"));
        EXPECT_TRUE(module[QLatin1String("wellFormed")].toBool());
    }
    EXPECT_EQ(found, QStringList({"02 1200 character 00 SLOW|1.00|",
                                  "05 9600 modbus-rtu 00 module map: address, rate, format, "
                                  "protocol||",
                                  "0a 115200 character 02 FAST|B2.0|answers the configuration "
                                  "address 00 as well"}))
        << run.out.constData();
}

TEST_F(FindLine, EmptyLineFindsNothing)
{
    const int com = startLine({"--silent"});
    const FindRun run =
        find({"--com", QString::number(com), "--rates", "115200", "--addresses", "00-0F"});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("nothing answered on COM")) << run.err.constData();
    EXPECT_EQ(trace().count("\"$"), 16); // every character probe went out
}

TEST_F(FindLine, OnATerminalShowsProgressAndCtrlCStopsKeepingWhatWasFound)
{
    const int com = startLine({"--module", "01", "--module", "7F"});
    const QString comText = QString::number(com);
    const FindRun run = findOnTerminal(
        {"--com", comText, "--rates", "9600,300", "--protocols", "character"}, "found:");
    EXPECT_EQ(run.exitCode, 130) << run.out.constData();
    EXPECT_TRUE(run.out.contains("probes, at most")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("% ")) << run.out.constData(); // the progress line
    EXPECT_TRUE(QString::fromUtf8(run.out).contains(QRegularExpression(
        QStringLiteral("COM +Address +Rate +Protocol +Format +Name +Firmware +Note\r?\n"))))
        << run.out.constData();
    EXPECT_TRUE(run.out.contains("COM" + comText.toLatin1() + "  01 ")) << run.out.constData();
    EXPECT_FALSE(run.out.contains(" 7F ")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("stopped after")) << run.out.constData();
    // The port was let go: another search opens it at once, and with --first ends at 01.
    const FindRun again = find({"--com", comText, "--rates", "9600", "--first"});
    EXPECT_EQ(again.exitCode, 0) << again.err.constData();
    EXPECT_TRUE(again.out.contains(" 01 ")) << again.out.constData();
    EXPECT_FALSE(again.out.contains(" 7F ")) << again.out.constData();
}

TEST_F(FindLine, PortThatCannotBeUsedSaysWhy)
{
    QDir().mkpath(m_home.filePath(QStringLiteral("tolvane")));
    QFile::link(QStringLiteral("/dev/no-such-tty"),
                m_home.filePath(QStringLiteral("tolvane/com9")));
    const FindRun run = find({"--com", "9", "--rates", "9600", "--addresses", "01"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("COM9 could not be opened: ")) << run.err.constData();
    EXPECT_TRUE(run.err.contains("no-such-tty")) << run.err.constData();
}

// COM20: with its link gone, a low COM number could map to a serial port of the host.
TEST_F(FindLine, LineThatGoesAwayMidSearchEndsIt)
{
    const int com = startLine({"--com", "20"});
    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    startFind(process, {"--com", QString::number(com), "--rates", "300", "--addresses", "10-FF"});
    // The first probe has crossed the line: the search is under way.
    for (int wait = 0; wait < 100 && trace().isEmpty(); ++wait)
        process.waitForFinished(50);
    ASSERT_FALSE(trace().isEmpty());
    EXPECT_EQ(m_sim->stopWith(SIGTERM), 0); // its pseudo-terminal closes
    const bool finished = process.waitForFinished(5000);
    const QByteArray err = process.readAll();
    ASSERT_TRUE(finished) << err.constData();
    EXPECT_EQ(process.exitCode(), 3);
    EXPECT_TRUE(err.contains("tolvane-find: COM20 failed during the search, at 300 baud: "))
        << err.constData();
}

// Bad input: a clear message, exit 2, and nothing on the line.
struct BadInput
{
    const char *name;
    QStringList args;
    const char *message;
};

class FindBadInput : public FindLine, public testing::WithParamInterface<BadInput>
{
};

TEST_P(FindBadInput, GetsAMessageAndExit2WithNothingSent)
{
    const int com = startLine({});
    QStringList args = GetParam().args;
    args.replaceInStrings(QStringLiteral("COM"), QString::number(com));
    const FindRun run = find(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.constData();
    EXPECT_TRUE(run.err.contains("tolvane-find --help"));
    EXPECT_TRUE(trace().isEmpty()) << trace().constData();
}

const BadInput kBadInputs[] = {
    {"UnknownRate", {"--com", "COM", "--rates=9600,250"}, "250 is not one of the rates"},
    {"RangeOutOfBounds", {"--com", "COM", "--addresses", "00-100"}, "--addresses: two hex digits"},
    {"RangeBackwards", {"--com", "COM", "--addresses", "20-10"}, "the first no higher"},
    {"NoProtocol", {"--com", "COM", "--protocols", ""}, "no protocol chosen"},
    {"ModbusOutsideItsAddresses",
     {"--com", "COM", "--protocols", "modbus", "--addresses", "F8-FF"},
     "01 to F7"},
    {"NoPort", {"--rates", "9600"}, "--com N is needed"},
    {"PortOutOfRange", {"--com", "21"}, "COM1 to COM20 only"},
    {"UnknownOption", {"--com", "COM", "--fast"}, "unknown option '--fast'"},
};

INSTANTIATE_TEST_SUITE_P(Find, FindBadInput, testing::ValuesIn(kBadInputs),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
