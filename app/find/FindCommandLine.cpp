#include "app/find/FindCommandLine.h"

#include "app/QtEventPump.h"
#include "app/find/Interrupt.h"
#include "find/FoundText.h"
#include "find/Probes.h"
#include "find/SteadySearchClock.h"
#include "serial/PlatformSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <functional>

namespace {

std::optional<int> parseHexAddress(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 16);
    if (!ok || text.size() > 2 || text.startsWith(QLatin1Char('+')) ||
        text.startsWith(QLatin1Char('-')))
        return std::nullopt;
    return value;
}

QString setRates(SearchPlan &plan, const QString &value)
{
    plan.rates.clear();
    if (value == QLatin1String("all"))
        return {};
    for (const QString &item : value.split(QLatin1Char(','))) {
        bool ok = false;
        const int rate = item.trimmed().toInt(&ok);
        if (!ok)
            return QStringLiteral("--rates: '%1' is not a rate").arg(item);
        plan.rates.push_back(rate);
    }
    return {};
}

QString setProtocols(SearchPlan &plan, const QString &value)
{
    plan.characterProtocol = plan.modbusRtu = false;
    for (const QString &item : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.trimmed().toLower();
        if (name == QLatin1String("character") || name == QLatin1String("char"))
            plan.characterProtocol = true;
        else if (name == QLatin1String("modbus") || name == QLatin1String("rtu"))
            plan.modbusRtu = true;
        else
            return QStringLiteral("--protocols: 'character' or 'modbus', not '%1'").arg(item);
    }
    return {};
}

QString setAddresses(SearchPlan &plan, const QString &value)
{
    const QStringList ends = value.split(QLatin1Char('-'));
    const auto first = parseHexAddress(ends.value(0));
    const auto last = ends.size() == 2 ? parseHexAddress(ends.value(1)) : first;
    if (ends.size() > 2 || !first || !last)
        return QStringLiteral("--addresses: two hex digits each, A-B such as 00-FF, not '%1'")
            .arg(value);
    plan.firstAddress = *first;
    plan.lastAddress = *last;
    return {};
}

QString setCom(SearchPlan &plan, const QString &value)
{
    bool ok = false;
    plan.com = value.toInt(&ok);
    return ok ? QString() : QStringLiteral("--com: a number, not '%1'").arg(value);
}

QString setTurnaround(SearchPlan &plan, const QString &value)
{
    bool ok = false;
    plan.turnaroundMs = value.toInt(&ok);
    if (!ok || plan.turnaroundMs < 0)
        return QStringLiteral("--turnaround: milliseconds, not '%1'").arg(value);
    return {};
}

void printTo(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString planText(const SearchPlan &plan)
{
    QStringList rates;
    for (const int rate : plan.rates)
        rates << QString::number(rate);
    QStringList protocols;
    if (plan.characterProtocol)
        protocols << QStringLiteral("character protocol");
    if (plan.modbusRtu)
        protocols << QStringLiteral("MODBUS RTU");
    return QStringLiteral("COM%1 at %2 baud, %3, addresses %4-%5")
        .arg(plan.com)
        .arg(rates.join(QLatin1Char(' ')), protocols.join(QStringLiteral(" and ")),
             hexByte(plan.firstAddress), hexByte(plan.lastAddress));
}

QStringList rowOf(const FoundModule &module)
{
    return {QStringLiteral("COM%1").arg(module.com),
            foundText::address(module),
            QString::number(module.rate),
            foundText::protocol(module.protocol),
            foundText::format(module.formatCode),
            module.name,
            module.firmware,
            module.note};
}

QString tableOf(const std::vector<FoundModule> &modules)
{
    std::vector<QStringList> rows = {{QStringLiteral("COM"), QStringLiteral("Address"),
                                      QStringLiteral("Rate"), QStringLiteral("Protocol"),
                                      QStringLiteral("Format"), QStringLiteral("Name"),
                                      QStringLiteral("Firmware"), QStringLiteral("Note")}};
    for (const FoundModule &module : modules)
        rows.push_back(rowOf(module));
    std::vector<int> widths(rows.front().size(), 0);
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max<int>(widths[i], int(row[i].size()));
    }
    QString table;
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        table += line.trimmed() + QLatin1Char('\n');
    }
    return table;
}

QString endText(SearchEnd end)
{
    switch (end) {
    case SearchEnd::Found:
        return QStringLiteral("found");
    case SearchEnd::NoneFound:
        return QStringLiteral("none");
    case SearchEnd::Stopped:
        return QStringLiteral("stopped");
    case SearchEnd::PortUnusable:
        return QStringLiteral("port unusable");
    }
    return {};
}

QString jsonOf(const SearchPlan &plan, SearchEnd end, const QString &failure,
               const std::vector<FoundModule> &modules)
{
    QJsonArray found;
    for (const FoundModule &module : modules) {
        found.append(QJsonObject{
            {QStringLiteral("com"), module.com},
            {QStringLiteral("address"), module.address},
            {QStringLiteral("rate"), module.rate},
            {QStringLiteral("protocol"), module.protocol == tolvane::Protocol::ModbusRtu
                                             ? QStringLiteral("modbus-rtu")
                                             : QStringLiteral("character")},
            {QStringLiteral("type"), module.typeCode},
            {QStringLiteral("format"), module.formatCode},
            {QStringLiteral("name"), module.name},
            {QStringLiteral("firmware"), module.firmware},
            {QStringLiteral("wellFormed"), module.wellFormed},
            {QStringLiteral("note"), module.note},
            {QStringLiteral("reply"), module.reply},
        });
    }
    QJsonObject result{{QStringLiteral("com"), plan.com},
                       {QStringLiteral("end"), endText(end)},
                       {QStringLiteral("modules"), found}};
    if (!failure.isEmpty())
        result.insert(QStringLiteral("failure"), failure);
    return QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented));
}

// The window pump, which also turns Ctrl+C into Stop.
class InterruptiblePump : public EventPump
{
public:
    std::function<void()> onInterrupt;
    void pumpEvents() override
    {
        m_pump.pumpEvents();
        if (interrupted() && onInterrupt)
            onInterrupt();
    }
    void sleepMilliseconds(int milliseconds) override { m_pump.sleepMilliseconds(milliseconds); }

private:
    QtEventPump m_pump;
};

// Keeps what is found; on a terminal, a progress line redrawn in place, and each find as it
// comes above it.
class CommandLineObserver : public SearchObserver
{
public:
    explicit CommandLineObserver(bool terminal)
        : m_terminal(terminal)
    {}
    std::vector<FoundModule> modules;

    void progress(int probesDone, int probesTotal, std::int64_t msLeftAtMost) override
    {
        // Ten redraws a second are enough to read; a fast rate probes fifty times a second.
        if (!m_terminal || (m_redrawn.isValid() && m_redrawn.elapsed() < 100 && probesDone > 0 &&
                            probesDone < probesTotal))
            return;
        m_redrawn.start();
        const int percent = probesTotal > 0 ? probesDone * 100 / probesTotal : 100;
        drawLine(QStringLiteral("%1% %2 of %3 probes, at most %4 left, %5 found")
                     .arg(percent, 3)
                     .arg(probesDone)
                     .arg(probesTotal)
                     .arg(foundText::duration(msLeftAtMost))
                     .arg(modules.size()));
    }
    void found(const FoundModule &module) override
    {
        modules.push_back(module);
        if (!m_terminal)
            return;
        clearLine();
        printTo(
            stderr,
            QStringLiteral("found: %1\n").arg(rowOf(module).join(QLatin1Char(' ')).simplified()));
    }
    void clearLine()
    {
        if (m_drawn > 0)
            printTo(stderr,
                    QLatin1Char('\r') + QString(m_drawn, QLatin1Char(' ')) + QLatin1Char('\r'));
        m_drawn = 0;
    }

private:
    void drawLine(const QString &text)
    {
        const int width = int(text.size());
        printTo(stderr, QLatin1Char('\r') + text.leftJustified(m_drawn));
        m_drawn = std::max(m_drawn, width);
    }
    bool m_terminal;
    int m_drawn = 0;
    QElapsedTimer m_redrawn;
};

} // namespace

FindArguments parseFindArguments(const QStringList &args)
{
    using Setter = QString (*)(SearchPlan &, const QString &);
    const std::pair<const char *, Setter> valueOptions[] = {
        {"--com", setCom},
        {"--rates", setRates},
        {"--protocols", setProtocols},
        {"--addresses", setAddresses},
        {"--turnaround", setTurnaround},
    };
    FindArguments result;
    bool comGiven = false;
    for (int i = 0; i < args.size() && result.error.isEmpty(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (const int eq = int(name.indexOf(QLatin1Char('=')));
            name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            result.help = true;
            continue;
        }
        if (name == QLatin1String("--first") || name == QLatin1String("--json")) {
            if (value)
                result.error = name + QStringLiteral(" takes no value");
            (name == QLatin1String("--first") ? result.plan.stopAtFirst : result.json) = true;
            continue;
        }
        Setter setter = nullptr;
        for (const auto &option : valueOptions) {
            if (name == QLatin1String(option.first))
                setter = option.second;
        }
        if (!setter) {
            result.error =
                (name.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option '%1'")
                                                   : QStringLiteral("unexpected argument '%1'"))
                    .arg(name);
            break;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                result.error = name + QStringLiteral(" needs a value");
                break;
            }
            value = args[++i];
        }
        comGiven = comGiven || name == QLatin1String("--com");
        result.error = setter(result.plan, *value);
    }
    if (result.help || !result.error.isEmpty())
        return result;
    if (!comGiven)
        result.error = QStringLiteral("which port? --com N is needed");
    else
        result.error = ModuleSearch::checkPlan(result.plan);
    return result;
}

QString findUsage()
{
    return QStringLiteral(
               "Usage: tolvane-find --com N [--rates R,R...] [--protocols P,P] [--addresses A-B]\n"
               "                    [--first] [--json] [--turnaround MS]\n"
               "       tolvane-find          (no arguments: the window)\n"
               "Searches COM N for measurement modules: one probe per address, rate and protocol,\n"
               "each waiting only as long as the wire needs, and lists every module that answers\n"
               "with its address, rate, protocol, data format, name and firmware.\n"
               "\n"
               "  --com N           the COM port, 1 to 20 (as the tool maps it)\n"
               "  --rates R,R...    rates to try, in this order; default all, the likeliest "
               "first:\n"
               "                    9600,115200,19200,38400,57600,4800,2400,1200,600,300\n"
               "  --protocols P,P   character and/or modbus (default both)\n"
               "  --addresses A-B   two hex digits each (default 00-FF); MODBUS RTU takes\n"
               "                    01-F7 (1 to 247) of the range\n"
               "  --first           stop at the first module found\n"
               "  --json            the result as JSON on the standard output, for scripts\n"
               "  --turnaround MS   the most a module takes to start its reply, plus what a USB\n"
               "                    adapter adds (default %1, 0 to %2)\n"
               "  --help            show this help\n"
               "\n"
               "Before it starts it says how long the search takes at most. On a terminal a\n"
               "progress line shows on the standard error; Ctrl+C stops at once, closes the port\n"
               "and prints what was found.\n"
               "Exit status: 0 something answered, 1 nothing did, 2 usage error (nothing sent),\n"
               "3 the port could not be used, 130 stopped by Ctrl+C.\n")
        .arg(kDefaultTurnaroundMs)
        .arg(kMaxTurnaroundMs);
}

int runFindCommandLine(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const FindArguments arguments = parseFindArguments(application.arguments().mid(1));
    if (arguments.help) {
        printTo(stdout, findUsage());
        return FindFound;
    }
    if (!arguments.error.isEmpty()) {
        printTo(
            stderr,
            QStringLiteral("tolvane-find: %1\nTry 'tolvane-find --help'.\n").arg(arguments.error));
        return FindUsage;
    }
    catchInterrupt();
    const SearchPlan plan = ModuleSearch::completed(arguments.plan);
    PlatformSerialPort port;
    InterruptiblePump pump;
    SteadySearchClock clock;
    ModuleSearch search(port, pump, clock);
    pump.onInterrupt = [&search] { search.stop(); };
    CommandLineObserver observer(stderrIsTerminal());

    printTo(stderr, QStringLiteral("tolvane-find: searching %1: %2 probes, at most %3 if nothing "
                                   "answers (each reply adds its own time)\n")
                        .arg(planText(plan))
                        .arg(ModuleSearch::probeCount(plan))
                        .arg(foundText::duration(ModuleSearch::worstCaseMs(plan))));
    const std::int64_t started = clock.nowMicroseconds();
    const SearchEnd end = search.run(plan, observer);
    const std::int64_t tookMs = (clock.nowMicroseconds() - started) / 1000;
    observer.clearLine();

    QString failure;
    if (end == SearchEnd::PortUnusable) {
        // The port's own words when it has them; a read, write or discard can also fail in the
        // moment the device goes, before the port has noticed.
        failure = search.failure() + QStringLiteral(": ") +
                  (port.lastFailure().isEmpty()
                       ? QStringLiteral("it refused a read, write or discard (unplugged?)")
                       : port.lastFailure());
    }
    if (arguments.json)
        printTo(stdout, jsonOf(plan, end, failure, observer.modules));
    else if (!observer.modules.empty())
        printTo(stdout, tableOf(observer.modules));

    switch (end) {
    case SearchEnd::Found:
        printTo(stderr, QStringLiteral("tolvane-find: %1 found in %2\n")
                            .arg(observer.modules.size())
                            .arg(foundText::duration(tookMs)));
        return FindFound;
    case SearchEnd::NoneFound:
        printTo(stderr, QStringLiteral("tolvane-find: nothing answered on COM%1 (%2)\n")
                            .arg(plan.com)
                            .arg(foundText::duration(tookMs)));
        return FindNone;
    case SearchEnd::Stopped:
        printTo(stderr, QStringLiteral("tolvane-find: stopped after %1, %2 found; COM%3 closed\n")
                            .arg(foundText::duration(tookMs))
                            .arg(observer.modules.size())
                            .arg(plan.com));
        return FindStopped;
    case SearchEnd::PortUnusable:
        printTo(stderr, QStringLiteral("tolvane-find: %1\n").arg(failure));
        return FindPortUnusable;
    }
    return FindPortUnusable;
}
