// The tool's speed and memory, measured in one run and printed as a table of figure, value,
// floor or peer, ratio and target. Timings on a shared machine are noisy: each figure is a
// median of repeated runs, and each ratio is taken against a floor measured in the same run.
//   tolvane-bench [--short] [log] [line] [idle] [wire] [start] [find]
//     the full run takes about 25 minutes (find alone about 7); --short uses small counts and only
//     proves that every figure can be measured; naming groups runs only those.
#include "Figures.h"
#include "Measure.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    bool shortRun = false;
    QList<QByteArray> groups;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        if (argument == "--short") {
            shortRun = true;
        } else if (argument == "log" || argument == "line" || argument == "idle" ||
                   argument == "wire" || argument == "start" || argument == "find") {
            groups << argument;
        } else {
            std::fprintf(
                stderr,
                "usage: tolvane-bench [--short] [log] [line] [idle] [wire] [start] [find]\n");
            return 2;
        }
    }
    auto runs = [&groups](const char *group) { return groups.isEmpty() || groups.contains(group); };
    // The window is measured offscreen, so that a desktop's compositor adds nothing; only the
    // start-up figure shows the real program on the display it is given.
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("TOLVANE_BENCH_DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    BenchScale scale;
    if (shortRun) {
        scale = BenchScale{false, 1000, 5000, 20000, 20, 40, 10, 1, 1, 20};
    }
    std::printf("tolvane-bench (%s run)\n", shortRun ? "short" : "full");
    FigureTable table;
    if (runs("log"))
        logFigures(scale, table);
    if (runs("line"))
        lineFigures(scale, table);
    if (runs("idle"))
        idleFigures(scale, table);
    if (runs("wire"))
        wireFigures(scale, table);
    if (runs("start"))
        startFigures(scale, table);
    if (runs("find"))
        findFigures(scale, table);
    table.print();
    return 0;
}
