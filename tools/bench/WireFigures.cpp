// The simulated module's line timing: tolvane-sim, started as a program, answers "#01" over a
// pseudo-terminal set to the rate; each reply's last byte is timed against the moment the
// command was written. On a wire the exchange takes 13 characters of 10 bits (4 of "#01"+CR,
// 9 of ">+05.123"+CR), and the module's own processing time is set to 0: the reply may not
// come sooner, and should come at most 2 ms later. The poll that waits for it wakes within
// microseconds; what lies beyond 2 ms is the machine scheduling one of the two processes late.
#include "Figures.h"
#include "Measure.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExchangeCharacters = 13;

speed_t speedOf(int baud)
{
    return baud == 1200 ? B1200 : B9600;
}

// The milliseconds from the write of "#01"+CR to the reply's CR, for each reply; empty when
// the module could not be started or stopped answering.
std::vector<double> exchangeTimes(int baud, int replies)
{
    QTemporaryDir config;
    QProcess sim;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    sim.setProcessEnvironment(environment);
    sim.start(QStringLiteral(TOLVANE_SIM_PATH),
              {QStringLiteral("--module"), QStringLiteral("01,delay=0,baud=%1").arg(baud)});
    if (!sim.waitForReadyRead(5000))
        return {};
    const QRegularExpressionMatch banner =
        QRegularExpression(QStringLiteral("-> (/dev/pts/\\d+)")).match(sim.readLine());
    const int fd = ::open(QFile::encodeName(banner.captured(1)).constData(), O_RDWR | O_NOCTTY);
    if (!banner.hasMatch() || fd < 0)
        return {};
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, speedOf(baud));
    ::tcsetattr(fd, TCSANOW, &settings);

    std::vector<double> times;
    for (int i = 0; i < replies; ++i) {
        const Clock::time_point sent = Clock::now();
        if (::write(fd, "#01\r", 4) != 4)
            break;
        // Block in poll until each piece arrives: its wake-up is microseconds, well under the
        // 0.01 ms the figure is printed with.
        QByteArray reply;
        while (!reply.endsWith('\r')) {
            pollfd entry{fd, POLLIN, 0};
            char bytes[64];
            if (::poll(&entry, 1, 2000) <= 0)
                break;
            const ssize_t got = ::read(fd, bytes, sizeof bytes);
            if (got <= 0)
                break;
            reply.append(bytes, int(got));
        }
        const Clock::time_point arrived = Clock::now();
        if (reply.size() != 9 || !reply.endsWith('\r'))
            break;
        times.push_back(std::chrono::duration<double, std::milli>(arrived - sent).count());
    }
    ::close(fd);
    sim.terminate();
    sim.waitForFinished();
    return times;
}

} // namespace

void wireFigures(const BenchScale &scale, FigureTable &table)
{
    for (const int baud : {9600, 1200}) {
        const double wire = kExchangeCharacters * 10 * 1000.0 / baud;
        const std::vector<double> times = exchangeTimes(baud, scale.wireReplies);
        if (int(times.size()) != scale.wireReplies) {
            table.add({QStringLiteral("Simulated line at %1 baud").arg(baud),
                       QStringLiteral("only %1 of %2 replies came")
                           .arg(times.size())
                           .arg(scale.wireReplies),
                       {},
                       {},
                       QStringLiteral("every reply")});
            continue;
        }
        std::vector<double> late;
        for (const double time : times)
            late.push_back(time - wire);
        const auto [earliest, latest] = std::minmax_element(late.begin(), late.end());
        const auto over = std::count_if(late.begin(), late.end(), [](double ms) { return ms > 2; });
        table.add({QStringLiteral("Simulated line at %1 baud, reply's last byte after its wire "
                                  "time, %2 replies")
                       .arg(baud)
                       .arg(times.size()),
                   QStringLiteral("%1 to %2 ms, median %3 ms; %4 over 2 ms")
                       .arg(number(*earliest, 2), number(*latest, 2), number(median(late), 2))
                       .arg(over),
                   QStringLiteral("wire %1 ms").arg(number(wire, 2)),
                   QStringLiteral("%1x").arg(number(median(times) / wire, 3)),
                   QStringLiteral("0 to 2 ms")});
    }
}
