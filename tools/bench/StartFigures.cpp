// From starting the program to its window mapped on the display, and the memory it then holds
// while idle, beside two floors, a bare Qt Widgets window of the same size and the tool's window
// with its controls and no logic, and beside another Qt serial terminal when one is installed
// (the peer). Needs a display (Xvfb will do) and libxcb. TOLVANE_BENCH_COMPARE=<another build's
// tolvane> times that build in the same run too.
#include "Figures.h"
#include "Measure.h"

#ifdef TOLVANE_BENCH_XCB
#include "WindowWatch.h"
#endif

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <utility>
#include <vector>

#ifdef TOLVANE_BENCH_XCB
namespace {

struct Contender
{
    Contender(QString name, QString path)
        : name(std::move(name))
        , path(std::move(path))
    {}

    QString name;
    QString path;
    std::vector<double> milliseconds;
    std::vector<double> idleKiB;
    QString size;
    QString failure;
    QByteArray frame; // the window's pixels once idle, from the first counted start

    bool measured() const { return failure.isEmpty() && !milliseconds.empty(); }
    double startMs() const { return median(milliseconds); }
    double idleMiB() const { return median(idleKiB) / 1024.0; }
};

// One start of `contender` with a fresh configuration folder. The clock starts before the fork,
// so the figure holds the fork and exec, the program's start and its first map.
void startOnce(Contender &contender, WindowWatch &watch, const QByteArray &display, int settleMs,
               bool counted)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    // Nobody reads the program's output while it is timed; a full pipe would stall it.
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    watch.discardPending();

    const qint64 start = WindowWatch::monotonicNs();
    program.start(contender.path, {});
    if (!program.waitForStarted()) {
        contender.failure = QStringLiteral("%1 did not start").arg(contender.name);
        return;
    }
    const pid_t pid = pid_t(program.processId());
    const WindowWatch::Mapped mapped = watch.waitForMap(pid, 30000, [&program] {
        return program.state() == QProcess::Running && !program.waitForFinished(0);
    });
    if (mapped.at < 0) {
        contender.failure =
            program.state() == QProcess::Running
                ? QStringLiteral("%1 mapped no window within 30 s").arg(contender.name)
                : QStringLiteral("%1 exited without a window").arg(contender.name);
        if (!watch.error().isEmpty())
            contender.failure = watch.error();
    } else if (counted) {
        contender.milliseconds.push_back((mapped.at - start) / 1e6);
        contender.size = QStringLiteral("%1 x %2").arg(mapped.width).arg(mapped.height);
        // Idle means after the first paint and the settling that follows it.
        QThread::msleep(settleMs);
        contender.idleKiB.push_back(double(residentKiB(pid)));
        if (contender.frame.isEmpty())
            contender.frame = watch.pixels(mapped);
    }
    program.kill();
    program.waitForFinished();
}

QString runsText(const std::vector<double> &values, int decimals)
{
    QStringList texts;
    for (double value : values)
        texts << number(value, decimals);
    return texts.join(QLatin1Char(' '));
}

} // namespace
#endif

void startFigures(const BenchScale &scale, FigureTable &table)
{
    const QString figure = QStringLiteral("Start to window mapped; idle memory");
    const QString target = QStringLiteral("beside the floors and a peer");
#ifndef TOLVANE_BENCH_XCB
    (void)scale;
    table.add({figure, QStringLiteral("skipped: built without libxcb (libxcb1-dev)"), QString(),
               QString(), target});
#else
    const QByteArray display = qgetenv("TOLVANE_BENCH_DISPLAY");
    if (display.isEmpty()) {
        table.add({figure, QStringLiteral("skipped: needs DISPLAY (Xvfb will do)"), QString(),
                   QString(), target});
        return;
    }
    WindowWatch watch(display);
    if (!watch.error().isEmpty()) {
        table.add({figure, QStringLiteral("skipped: %1").arg(watch.error()), QString(), QString(),
                   target});
        return;
    }
    // How late the watch reads a map, measured with a window of its own: with the 1 ns clock,
    // the figures' resolution.
    const double delayMs = watch.notificationDelayMs(scale.full ? 50 : 5);
    std::printf("  start: a map is read %.3f ms after it is asked for (median)\n", delayMs);

    std::vector<Contender> contenders{{QStringLiteral("tolvane"), QStringLiteral(TOLVANE_PATH)}};
    const QString compared = qEnvironmentVariable("TOLVANE_BENCH_COMPARE");
    if (!compared.isEmpty())
        contenders.emplace_back(QStringLiteral("compared build"), compared);
    const std::size_t bare = contenders.size();
    contenders.emplace_back(QStringLiteral("bare Qt window"),
                            QStringLiteral(TOLVANE_BARE_WINDOW_PATH));
    const std::size_t controls = contenders.size();
    contenders.emplace_back(QStringLiteral("control window"),
                            QStringLiteral(TOLVANE_CONTROL_WINDOW_PATH));
    const QString peerPath = QStandardPaths::findExecutable(QStringLiteral("cutecom"));
    if (!peerPath.isEmpty())
        contenders.emplace_back(QStringLiteral("cutecom"), peerPath);

    // Interleaved, so that whatever else the machine does falls on all of them alike; the full
    // run first starts each once uncounted, so that all start with their libraries cached.
    const int settleMs = scale.full ? 2000 : 500;
    for (int run = scale.full ? -1 : 0; run < scale.starts; ++run) {
        for (Contender &contender : contenders) {
            if (contender.failure.isEmpty())
                startOnce(contender, watch, display, settleMs, run >= 0);
        }
    }
    for (const Contender &contender : contenders) {
        if (contender.measured())
            std::printf("  start: %s, window %s: %s ms; %s KiB\n", qPrintable(contender.name),
                        qPrintable(contender.size), qPrintable(runsText(contender.milliseconds, 1)),
                        qPrintable(runsText(contender.idleKiB, 0)));
    }

    const Contender &ours = contenders[0];
    if (!ours.measured()) {
        table.add(
            {figure, QStringLiteral("failed: %1").arg(ours.failure), QString(), QString(), target});
        return;
    }
    // The control window must look like the tool, or it is no floor of it; a compared build
    // should look the same as well.
    const Contender &floor = contenders[controls];
    for (const Contender &other : contenders) {
        if (&other == &ours || other.frame.isEmpty() || ours.frame.isEmpty() ||
            (&other != &floor && other.name != QLatin1String("compared build")))
            continue;
        qsizetype differ = 0;
        for (qsizetype i = 0; i < qMin(ours.frame.size(), other.frame.size()); i += 4)
            differ += ours.frame.mid(i, 4) != other.frame.mid(i, 4);
        const QString verdict =
            ours.frame == other.frame
                ? QStringLiteral("identical")
                : QStringLiteral("%1 of %2 differ").arg(differ).arg(ours.frame.size() / 4);
        std::printf("  start: the %s's pixels against the tool's once idle: %s\n",
                    qPrintable(other.name), qPrintable(verdict));
    }
    // Where the tool's start and memory go: Qt and a window, Qt's cost of the controls, ours.
    if (contenders[bare].measured() && floor.measured()) {
        const Contender &empty = contenders[bare];
        std::printf(
            "  start: %.1f ms = bare window %.1f + Qt's controls %.1f + the tool's own %.1f\n",
            ours.startMs(), empty.startMs(), floor.startMs() - empty.startMs(),
            ours.startMs() - floor.startMs());
        std::printf(
            "  idle: %.1f MiB = bare window %.1f + Qt's controls %.1f + the tool's own %.1f\n",
            ours.idleMiB(), empty.idleMiB(), floor.idleMiB() - empty.idleMiB(),
            ours.idleMiB() - floor.idleMiB());
    }

    // "floor 46 ms / peer 140 ms" beside "1.70x / 0.56x"; a contender that could not be
    // measured says why instead.
    const bool peer = !peerPath.isEmpty();
    auto against = [&contenders, peer](auto value, auto unit) {
        QStringList texts, ratios;
        for (std::size_t i = 1; i < contenders.size(); ++i) {
            const Contender &other = contenders[i];
            if (!other.measured()) {
                texts << other.failure;
                continue;
            }
            texts << QStringLiteral("%1 %2").arg(other.name, unit(value(other)));
            ratios << QStringLiteral("%1x").arg(number(value(contenders[0]) / value(other), 2));
        }
        if (!peer)
            texts << QStringLiteral("no other Qt serial terminal installed");
        return std::make_pair(texts.join(QStringLiteral(" / ")),
                              ratios.join(QStringLiteral(" / ")));
    };
    const auto startMs = [](const Contender &c) { return c.startMs(); };
    const auto inMs = [](double ms) { return QStringLiteral("%1 ms").arg(number(ms, 1)); };
    const auto idleMiB = [](const Contender &c) { return c.idleMiB(); };
    const auto inMiB = [](double mib) { return QStringLiteral("%1 MiB").arg(number(mib, 1)); };
    const auto [startAgainst, startRatio] = against(startMs, inMs);
    const auto [idleAgainst, idleRatio] = against(idleMiB, inMiB);
    table.add({QStringLiteral("Start to window mapped (X MapNotify, read within %1 ms)")
                   .arg(number(delayMs, 2)),
               inMs(ours.startMs()), startAgainst, startRatio,
               QStringLiteral("<= 1.3x the bare window, or <= 1.1x the control window")});
    table.add({QStringLiteral("Idle resident memory %1 s after the window is mapped")
                   .arg(number(settleMs / 1000.0, 1)),
               inMiB(ours.idleMiB()), idleAgainst, idleRatio,
               QStringLiteral("<= 1.25x the bare window, or <= 1.1x the control window")});
#endif
}
