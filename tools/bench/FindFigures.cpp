// The module search on a line of simulated modules: tolvane-find, started as a program, against
// tolvane-sim over a pseudo-terminal. The floor of a whole search is what the wire itself needs:
// every probe's characters, the MODBUS frame gap, the turnaround and a reply's first character,
// at each probe's rate (ModuleSearch::floorUs). What lies above it is the 1 ms poll, the
// replies of the modules found and their name and firmware questions, and the program's start.
#include "Figures.h"
#include "Measure.h"
#include "find/ModuleSearch.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct FindRun
{
    double ms = 0;
    int exitCode = -1;
    int found = 0;
};

// A line of modules on its own COM link; the search over it; -1 exit code when either failed.
FindRun searchLine(const QStringList &simArgs, const QStringList &findArgs)
{
    QTemporaryDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess sim;
    sim.setProcessEnvironment(environment);
    sim.start(QStringLiteral(TOLVANE_SIM_PATH), simArgs);
    if (!sim.waitForReadyRead(5000))
        return {};
    const QRegularExpressionMatch banner =
        QRegularExpression(QStringLiteral("COM(\\d+) ->")).match(sim.readLine());
    if (!banner.hasMatch())
        return {};

    QProcess find;
    find.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    find.start(QStringLiteral(TOLVANE_FIND_PATH),
               QStringList{QStringLiteral("--com"), banner.captured(1), QStringLiteral("--json")} +
                   findArgs);
    find.waitForFinished(-1);
    FindRun run;
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    run.exitCode = find.exitStatus() == QProcess::NormalExit ? find.exitCode() : -1;
    run.found = int(QJsonDocument::fromJson(find.readAllStandardOutput())
                        .object()[QLatin1String("modules")]
                        .toArray()
                        .size());
    sim.terminate();
    sim.waitForFinished();
    return run;
}

QString rateArgument(const std::vector<int> &rates)
{
    QStringList texts;
    for (const int rate : rates)
        texts << QString::number(rate);
    return texts.join(QLatin1Char(','));
}

} // namespace

void findFigures(const BenchScale &scale, FigureTable &table)
{
    // The whole search: all rates, both protocols, every address; --short: the three modules'
    // rates and 8 addresses, which proves the figure can be measured.
    SearchPlan plan;
    plan.rates = scale.full ? std::vector<int>{} : std::vector<int>{115200, 9600, 1200};
    plan.lastAddress = scale.full ? 0xFF : 0x0A;
    plan = ModuleSearch::completed(plan);
    const QStringList bench = {
        QStringLiteral("--module"), QStringLiteral("02,baud=1200"),
        QStringLiteral("--module"), QStringLiteral("05,modbus"),
        QStringLiteral("--module"), QStringLiteral("0A,baud=115200,format=02,jumper")};
    const FindRun whole = searchLine(
        bench, {QStringLiteral("--rates"), rateArgument(plan.rates), QStringLiteral("--addresses"),
                QStringLiteral("00-%1").arg(plan.lastAddress, 2, 16, QLatin1Char('0'))});
    const double floorMs = double(ModuleSearch::floorUs(plan)) / 1000;
    const QString wholeFigure =
        QStringLiteral("Whole search, %1 rates, both protocols, addresses 00-%2 (%3 probes), "
                       "3 modules on the line")
            .arg(plan.rates.size())
            .arg(plan.lastAddress, 2, 16, QLatin1Char('0'))
            .arg(ModuleSearch::probeCount(plan));
    if (whole.exitCode != 0 || whole.found != 3) {
        table.add({wholeFigure,
                   QStringLiteral("failed: exit %1, %2 found").arg(whole.exitCode).arg(whole.found),
                   {},
                   {},
                   QStringLiteral("3 found")});
    } else {
        table.add({wholeFigure, QStringLiteral("%1 s").arg(number(whole.ms / 1000, 2)),
                   QStringLiteral("floor %1 s").arg(number(floorMs / 1000, 2)),
                   QStringLiteral("%1x").arg(number(whole.ms / floorMs, 3)),
                   QStringLiteral("within 1.2x")});
    }

    // The common case: one module on the bench at its defaults, the likeliest rate first,
    // --first. On a line of one it answers the configuration address 00, the first probe.
    const FindRun first = searchLine({}, {QStringLiteral("--first")});
    // Its floor: "$002", "$01M", "$01F" and their replies on the wire at 9600 baud.
    const int characters = 5 + 10 + 5 + 15 + 5 + 8;
    const double wireMs = characters * 10 * 1000.0 / 9600;
    if (first.exitCode != 0 || first.found != 1) {
        table.add({QStringLiteral("First module, one on the line"),
                   QStringLiteral("failed: exit %1, %2 found").arg(first.exitCode).arg(first.found),
                   {},
                   {},
                   QStringLiteral("1 found")});
    } else {
        table.add({QStringLiteral("First module, one at 01 and 9600 baud, program start included"),
                   QStringLiteral("%1 ms").arg(number(first.ms, 1)),
                   QStringLiteral("wire %1 ms").arg(number(wireMs, 1)),
                   QStringLiteral("%1x").arg(number(first.ms / wireMs, 2)),
                   QStringLiteral("under 1 s")});
    }
}
