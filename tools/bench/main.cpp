// The tool's speed and memory, measured in one run and printed as a table of figure, value,
// floor or peer, ratio and target. Timings on a shared machine are noisy: each figure is a
// median of repeated runs, and each ratio is taken against a floor measured in the same run.
//   tolvane-bench           the full run (about 15 minutes)
//   tolvane-bench --short   small counts: proves that every figure can be measured
#include "Figures.h"
#include "Measure.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    const bool shortRun = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    if (argc > 1 && !shortRun) {
        std::fprintf(stderr, "usage: tolvane-bench [--short]\n");
        return 2;
    }
    // The window is measured offscreen, so that a desktop's compositor adds nothing; only the
    // start-up figure shows the real program on the display it is given.
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("TOLVANE_BENCH_DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    BenchScale scale;
    if (shortRun) {
        scale = BenchScale{false, 1000, 5000, 20000, 20, 40, 10, 1, 1};
    }
    std::printf("tolvane-bench (%s run)\n", shortRun ? "short" : "full");
    FigureTable table;
    logFigures(scale, table);
    lineFigures(scale, table);
    startFigures(scale, table);
    table.print();
    return 0;
}
