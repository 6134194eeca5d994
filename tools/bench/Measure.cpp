#include "Measure.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

void FigureTable::add(FigureRow row)
{
    std::printf("  %s: %s (%s%s)\n", qPrintable(row.figure), qPrintable(row.value),
                qPrintable(row.against), row.ratio.isEmpty() ? "" : qPrintable(", " + row.ratio));
    std::fflush(stdout);
    m_rows.push_back(std::move(row));
}

void FigureTable::print() const
{
    std::printf("\n| Figure | Value | Floor or peer | Ratio | Target |\n|---|---|---|---|---|\n");
    for (const FigureRow &row : m_rows) {
        std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(row.figure), qPrintable(row.value),
                    qPrintable(row.against), qPrintable(row.ratio), qPrintable(row.target));
    }
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

long residentKiB(pid_t pid)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

double threadCpuMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}
