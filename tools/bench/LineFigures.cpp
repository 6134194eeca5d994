// The transaction over a real pseudo-terminal: the no-reply wait against bare 1 ms sleeps, the
// round trip with a module that answers at once, repeat cycles against their floor, and the
// CPU an open, idle port costs.
#include "Figures.h"
#include "Measure.h"

#include "app/Program.h"
#include "core/ForwardingSerialPort.h"
#include "serial/PlatformSerialPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// The module's end of a pseudo-terminal. When it answers, it does so as soon as a command's CR
// arrives, from a thread of its own.
class Peer
{
public:
    explicit Peer(bool answers)
    {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        ::openpty(&m_master, &m_slave, name, &raw, nullptr);
        m_path = QString::fromLocal8Bit(name);
        m_thread = std::thread([this, answers] { serve(answers); });
    }
    ~Peer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_master);
        ::close(m_slave);
    }
    QString path() const { return m_path; }

private:
    void serve(bool answers)
    {
        while (!m_stop) {
            pollfd entry{m_master, POLLIN, 0};
            if (::poll(&entry, 1, 200) <= 0)
                continue;
            char bytes[256];
            const ssize_t got = ::read(m_master, bytes, sizeof bytes);
            if (got <= 0)
                continue;
            for (ssize_t i = 0; answers && i < got; ++i) {
                if (bytes[i] == '\r' && ::write(m_master, ">+05.123\r", 9) != 9)
                    std::perror("peer");
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Counts reads and notes when each command went out.
class CountingPort : public ForwardingSerialPort
{
public:
    explicit CountingPort(SerialPort &inner)
        : ForwardingSerialPort(inner)
    {
        m_clock.start();
    }
    int reads = 0;
    std::vector<double> writtenAtMs;
    std::function<void()> onWrite;

    bool write(const QByteArray &bytes) override
    {
        writtenAtMs.push_back(m_clock.nsecsElapsed() / 1e6);
        if (onWrite)
            onWrite();
        return ForwardingSerialPort::write(bytes);
    }
    bool read(QByteArray &received) override
    {
        ++reads;
        return ForwardingSerialPort::read(received);
    }

private:
    QElapsedTimer m_clock;
};

// The tool as main() builds it, over the host's serial layer, COM1 bound to the peer.
struct Tool
{
    explicit Tool(const Peer &peer)
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QDir(config.path()).mkpath(QStringLiteral("tolvane"));
        QFile::link(peer.path(), config.filePath(QStringLiteral("tolvane/com1")));
        program.window().show();
        program.operations().OpenPort();
    }
    double sendMilliseconds()
    {
        QElapsedTimer timer;
        timer.start();
        program.operations().SendCommand();
        return timer.nsecsElapsed() / 1e6;
    }

    QTemporaryDir config;
    PlatformSerialPort host;
    CountingPort port{host};
    Program program{port};
};

} // namespace

void lineFigures(const BenchScale &scale, FigureTable &table)
{
    double onePass = 0;
    {
        const Peer silent(false);
        Tool tool(silent);
        std::vector<double> passes, sleeps;
        int reads = 0, passCount = 0;
        for (int i = 0; i < (scale.full ? 5 : 1); ++i) {
            tool.port.reads = 0;
            passes.push_back(tool.sendMilliseconds() / 301);
            reads = tool.port.reads;
            passCount = tool.program.state().PollCount;
            // The same thread, so the same timer slack.
            QElapsedTimer timer;
            timer.start();
            for (int s = 0; s < 301; ++s)
                QThread::msleep(1);
            sleeps.push_back(timer.nsecsElapsed() / 1e6 / 301);
        }
        onePass = median(passes);
        const double sleep = median(sleeps);
        table.add({QStringLiteral("No-reply wait over a pty (%1 passes, %2 reads)")
                       .arg(passCount)
                       .arg(reads),
                   QStringLiteral("%1 ms per pass").arg(number(onePass, 4)),
                   QStringLiteral("bare 1 ms sleep %1 ms").arg(number(sleep, 4)),
                   QStringLiteral("%1x").arg(number(onePass / sleep, 3)),
                   QStringLiteral("301 passes, 300 reads; <= 1.02x")});
    }

    const Peer prompt(true);
    Tool tool(prompt);
    std::vector<double> passes, trips;
    for (int i = 0; i < scale.samples; ++i) {
        trips.push_back(tool.sendMilliseconds());
        passes.push_back(tool.program.state().PollCount);
    }
    const double roundTrip = median(trips);
    table.add({QStringLiteral("Reply round trip, peer answering at once"),
               QStringLiteral("median %1 passes, %2 ms")
                   .arg(number(median(passes)), number(roundTrip, 3)),
               QStringLiteral("2 passes"), QStringLiteral("%1x").arg(number(median(passes) / 2, 2)),
               QStringLiteral("median <= 2 passes")});

    // Continue send at interval 0 until the last cycle, which presses Stop.
    tool.program.window()
        .control(QStringLiteral("Text5"))
        ->setProperty("text", QStringLiteral("0"));
    tool.port.writtenAtMs.clear();
    tool.port.onWrite = [&] {
        if (int(tool.port.writtenAtMs.size()) == scale.cycles + 1)
            tool.program.operations().StopRepeat();
    };
    tool.program.operations().StartRepeat();
    tool.port.onWrite = nullptr;
    std::vector<double> cycles;
    for (std::size_t i = 1; i < tool.port.writtenAtMs.size(); ++i)
        cycles.push_back(tool.port.writtenAtMs[i] - tool.port.writtenAtMs[i - 1]);
    const std::size_t window =
        std::min<std::size_t>(std::size_t(scale.cycleWindow), cycles.size() / 2);
    const double first = median({cycles.begin(), cycles.begin() + long(window)});
    const double last = median({cycles.end() - long(window), cycles.end()});
    const double floor = roundTrip + 100 + onePass;
    table.add({QStringLiteral("Repeat cycle at interval 0, first / last %1 of %2")
                   .arg(window)
                   .arg(cycles.size()),
               QStringLiteral("%1 / %2 ms").arg(number(first, 2), number(last, 2)),
               QStringLiteral("round trip + 100 ms + one pass = %1 ms").arg(number(floor, 2)),
               QStringLiteral("%1x / %2x; last/first %3")
                   .arg(number(first / floor, 3), number(last / floor, 3), number(last / first, 3)),
               QStringLiteral("<= 1.03x; last within 2% of first")});
}

void idleFigures(const BenchScale &scale, FigureTable &table)
{
    const Peer silent(false);
    Tool tool(silent);
    // An open port with nothing sent: the event loop should sleep.
    const double before = threadCpuMilliseconds();
    QEventLoop idle;
    QTimer::singleShot(scale.idleSeconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double used = threadCpuMilliseconds() - before;
    const long tick = 1000 / ::sysconf(_SC_CLK_TCK);
    table.add(
        {QStringLiteral("Idle CPU of the window's thread, port open, %1 s").arg(scale.idleSeconds),
         QStringLiteral("%1 ticks (%2 ms)").arg(long(used) / tick).arg(number(used, 2)),
         QStringLiteral("0 ticks"), QString(), QStringLiteral("0 ticks")});
}
