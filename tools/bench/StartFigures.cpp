// From starting the program to its window on screen, and the memory it then holds while idle,
// beside another Qt serial terminal when one is installed. Needs a display (Xvfb will do) and
// xdotool, which sees the window appear.
#include "Figures.h"
#include "Measure.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

struct Start
{
    double milliseconds = 0;
    long idleKiB = 0;
};

// Median of `runs` starts of `program` with a fresh configuration folder.
Start measureStart(const QString &program, const QByteArray &display, int runs)
{
    std::vector<double> times, memory;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        QProcess tool;
        tool.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        tool.start(program, {});
        if (!tool.waitForStarted())
            return {};
        QProcess finder;
        finder.setProcessEnvironment(environment);
        finder.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--sync"),
                      QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                      QString::number(tool.processId())});
        if (!finder.waitForFinished(30000) || finder.exitCode() != 0)
            return {};
        times.push_back(timer.nsecsElapsed() / 1e6);
        QThread::msleep(2000);
        memory.push_back(double(residentKiB(pid_t(tool.processId()))));
        tool.kill();
        tool.waitForFinished();
    }
    return {median(times), long(median(memory))};
}

} // namespace

void startFigures(const BenchScale &scale, FigureTable &table)
{
    const QByteArray display = qgetenv("TOLVANE_BENCH_DISPLAY");
    if (display.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        table.add({QStringLiteral("Start to window shown; idle memory"),
                   QStringLiteral("skipped: needs DISPLAY and xdotool"), QString(), QString(),
                   QStringLiteral("beside another Qt serial terminal")});
        return;
    }
    const Start ours = measureStart(QStringLiteral(TOLVANE_PATH), display, scale.starts);
    const QString peer = QStandardPaths::findExecutable(QStringLiteral("cutecom"));
    const Start theirs = peer.isEmpty() ? Start{} : measureStart(peer, display, scale.starts);
    const bool compared = theirs.milliseconds > 0;
    table.add({QStringLiteral("Start to window shown"),
               QStringLiteral("%1 ms").arg(number(ours.milliseconds)),
               compared ? QStringLiteral("cutecom %1 ms").arg(number(theirs.milliseconds))
                        : QStringLiteral("no other Qt serial terminal installed"),
               compared
                   ? QStringLiteral("%1x").arg(number(ours.milliseconds / theirs.milliseconds, 2))
                   : QString(),
               QStringLiteral("beside a peer")});
    table.add({QStringLiteral("Idle resident memory after start"),
               QStringLiteral("%1 MiB").arg(number(ours.idleKiB / 1024.0, 1)),
               compared ? QStringLiteral("cutecom %1 MiB").arg(number(theirs.idleKiB / 1024.0, 1))
                        : QString(),
               compared ? QStringLiteral("%1x").arg(
                              number(double(ours.idleKiB) / double(theirs.idleKiB), 2))
                        : QString(),
               QStringLiteral("beside a peer")});
}
