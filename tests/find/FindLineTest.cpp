// tolvane-find as a process against tolvane-sim lines over pseudo-terminals: the parts meet.
// Each search covers a few rates and addresses; the whole search is the benchmark's.
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
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

    // Output to a terminal; `interruptAfter`, when it shows in the output, gets a Ctrl+C.
    FindRun findOnTerminal(const QStringList &args, const QByteArray &interruptAfter = {})
    {
        std::vector<QByteArray> storage;
        storage.push_back(QByteArray(TOLVANE_FIND_PATH));
        for (const QString &arg : args)
            storage.push_back(arg.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const QByteArray home = QFile::encodeName(m_home.path());

        int master = -1;
        const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
        if (child == 0) {
            setenv("XDG_CONFIG_HOME", home.constData(), 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        FindRun run;
        bool interrupted = false;
        for (;;) {
            pollfd fd{master, POLLIN, 0};
            if (poll(&fd, 1, 30000) <= 0)
                break;
            char buffer[4096];
            const ssize_t count = read(master, buffer, sizeof buffer);
            if (count <= 0)
                break;
            run.out.append(buffer, count);
            if (!interruptAfter.isEmpty() && !interrupted && run.out.contains(interruptAfter)) {
                interrupted = true;
                kill(child, SIGINT);
            }
        }
        int status = 0;
        waitpid(child, &status, 0);
        close(master);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    QTemporaryDir m_home;
    std::unique_ptr<SimProcess> m_sim;
};

QJsonObject moduleAt(const QJsonArray &modules, int address)
{
    for (const QJsonValue &module : modules) {
        if (module[QLatin1String("address")].toInt() == address)
            return module.toObject();
    }
    return {};
}

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
    EXPECT_TRUE(run.err.contains("probes, at most")) << run.err.constData();
    EXPECT_FALSE(run.err.contains('\r')); // no progress line off a terminal
    const QJsonObject result = QJsonDocument::fromJson(run.out).object();
    const QJsonArray modules = result[QLatin1String("modules")].toArray();
    ASSERT_EQ(modules.size(), 3) << run.out.constData();

    const QJsonObject slow = moduleAt(modules, 0x02);
    EXPECT_EQ(slow[QLatin1String("rate")].toInt(), 1200);
    EXPECT_EQ(slow[QLatin1String("protocol")].toString(), QStringLiteral("character"));
    EXPECT_EQ(slow[QLatin1String("name")].toString(), QStringLiteral("SLOW"));
    EXPECT_EQ(slow[QLatin1String("firmware")].toString(), QStringLiteral("1.00"));
    const QJsonObject rtu = moduleAt(modules, 0x05);
    EXPECT_EQ(rtu[QLatin1String("rate")].toInt(), 9600);
    EXPECT_EQ(rtu[QLatin1String("protocol")].toString(), QStringLiteral("modbus-rtu"));
    EXPECT_TRUE(rtu[QLatin1String("name")].toString().startsWith(QLatin1String("module map")));
    const QJsonObject fast = moduleAt(modules, 0x0A);
    EXPECT_EQ(fast[QLatin1String("rate")].toInt(), 115200);
    EXPECT_EQ(fast[QLatin1String("format")].toString(), QStringLiteral("02"));
    EXPECT_EQ(fast[QLatin1String("name")].toString(), QStringLiteral("FAST"));
    EXPECT_EQ(fast[QLatin1String("firmware")].toString(), QStringLiteral("B2.0"));
    EXPECT_TRUE(fast[QLatin1String("note")].toString().contains(QLatin1String("00")));
    EXPECT_TRUE(fast[QLatin1String("wellFormed")].toBool());
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
    EXPECT_TRUE(run.out.contains("COM" + comText.toLatin1() + "  01 ")) << run.out.constData();
    EXPECT_FALSE(run.out.contains(" 7F ")) << run.out.constData();
    EXPECT_TRUE(run.out.contains("stopped after")) << run.out.constData();
    // The port was let go: another search opens it at once.
    const FindRun again =
        find({"--com", comText, "--rates", "9600", "--addresses", "01", "--first"});
    EXPECT_EQ(again.exitCode, 0) << again.err.constData();
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
    {"UnknownRate", {"--com", "COM", "--rates", "9600,250"}, "250 is not one of the rates"},
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
