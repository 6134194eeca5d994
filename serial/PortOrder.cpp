#include "serial/PortOrder.h"

#include <QStringView>

#include <algorithm>

namespace {

QStringView fileName(const QString &port)
{
    return QStringView(port).mid(port.lastIndexOf(QLatin1Char('/')) + 1);
}

int group(QStringView name)
{
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 0;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return 2;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QStringView digitRun(QStringView text, qsizetype &pos)
{
    const qsizetype start = pos;
    while (pos < text.size() && isDigit(text.at(pos)))
        ++pos;
    QStringView run = text.mid(start, pos - start);
    while (run.size() > 1 && run.front() == QLatin1Char('0'))
        run = run.mid(1);
    return run;
}

// Text compares as text, runs of digits compare by value.
int naturalCompare(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            const QStringView x = digitRun(a, i);
            const QStringView y = digitRun(b, j);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y))
                return c;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    const qsizetype restA = a.size() - i;
    const qsizetype restB = b.size() - j;
    return restA == restB ? 0 : (restA < restB ? -1 : 1);
}

} // namespace

QStringList orderSerialPorts(QStringList ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const QString &a, const QString &b) {
        const QStringView nameA = fileName(a);
        const QStringView nameB = fileName(b);
        if (group(nameA) != group(nameB))
            return group(nameA) < group(nameB);
        if (const int c = naturalCompare(nameA, nameB))
            return c < 0;
        return a < b;
    });
    return ports;
}
