// Runs the tool as main() builds it against tolvane-sim, Continue send with an interval of 0,
// for N cycles; every 1,000 cycles prints open descriptors, resident memory and log entries.
//   usage: tolvane-soak [N]   (default 5000)
#include "Measure.h"
#include "app/HostWiring.h"
#include "app/Program.h"
#include "core/ForwardingSerialPort.h"
#include "serial/PlatformSerialPort.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Counts sends and the replies that came back whole.
class CountingPort : public ForwardingSerialPort
{
public:
    using ForwardingSerialPort::ForwardingSerialPort;
    long sends = 0;
    long replies = 0;

    bool write(const QByteArray &bytes) override
    {
        sends += bytes.count('\r');
        return ForwardingSerialPort::write(bytes);
    }
    bool read(QByteArray &received) override
    {
        const bool ok = ForwardingSerialPort::read(received);
        replies += received.count('\r');
        return ok;
    }
};

long openDescriptors()
{
    // The listing's own descriptor counts too, the same at every call.
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

// Starts the simulated module and returns its COM number, 0 when it did not come up.
int startSimulatedModule(QProcess &sim)
{
    sim.start(QStringLiteral(TOLVANE_SIM_PATH), {});
    QByteArray banner;
    while (!banner.contains('\n') && sim.waitForReadyRead(5000))
        banner += sim.readAllStandardOutput();
    const QByteArray lead = "tolvane-sim: COM";
    if (!banner.startsWith(lead))
        return 0;
    std::printf("%s", banner.constData());
    std::fflush(stdout);
    return banner.mid(lead.size()).split(' ').value(0).toInt();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const long cycles = argc > 1 ? QByteArray(argv[1]).toLong() : 5000;
    if (cycles <= 0) {
        std::fprintf(stderr, "usage: tolvane-soak [cycles]\n");
        return 2;
    }

    // COM links in a folder of our own, so the soak never touches the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QDir(config.path()).mkpath(QStringLiteral("tolvane"));

    PlatformSerialPort host;
    CountingPort port(host);
    Program program(port);
    wireHostPort(program.window(), host);
    program.window().setCloseHandler(nullptr);
    program.window().show();
    QCoreApplication::processEvents();
    const long fdsBefore = openDescriptors();

    QProcess sim;
    const int com = startSimulatedModule(sim);
    if (com == 0) {
        std::fprintf(stderr, "tolvane-soak: the simulated module did not start\n");
        return 1;
    }

    auto control = [&](const char *name) {
        return program.window().control(QString::fromLatin1(name));
    };
    auto click = [&](const char *name) { qobject_cast<QPushButton *>(control(name))->click(); };
    const LogModel &log = program.log();
    long rssStart = 0;
    long rssAtFirstReport = 0;
    std::size_t entriesAtFirstReport = 0;
    std::size_t nextReport = 1000;
    bool stopped = false;

    // Watches the log from inside the run's waits, which pump events.
    QTimer monitor;
    monitor.setInterval(10);
    QObject::connect(&monitor, &QTimer::timeout, [&] {
        const std::size_t entries = log.entryCount();
        if (std::size_t(port.sends) >= nextReport) {
            const long rss = residentKiB();
            if (rssAtFirstReport == 0) {
                rssAtFirstReport = rss;
                entriesAtFirstReport = entries;
            }
            std::printf("cycles %6ld  fds %3ld  VmRSS %7ld KiB  log entries %6zu\n", port.sends,
                        openDescriptors(), rss, entries);
            std::fflush(stdout);
            nextReport += 1000;
        }
        if (!stopped && entries >= std::size_t(cycles)) {
            stopped = true;
            click("Command7");
        }
    });

    QTimer::singleShot(0, [&] {
        auto *comList = qobject_cast<QComboBox *>(control("Combo1"));
        comList->setCurrentIndex(comList->findText(QStringLiteral("COM%1").arg(com)));
        emit comList->activated(comList->currentIndex());
        click("Command1");
        std::printf("open COM%d: %s\n", com, host.isOpen() ? "yes" : "no");
        std::fflush(stdout);
        qobject_cast<QLineEdit *>(control("Text5"))->setText(QStringLiteral("0"));
        rssStart = residentKiB();
        monitor.start();
        click("Command6"); // returns once the Stop click has ended the run
        monitor.stop();

        click("Command2");
        sim.terminate();
        sim.waitForFinished(5000);
        const long rssEnd = residentKiB();
        const std::size_t entries = log.entryCount();
        qsizetype logBytes = 0;
        log.forEachPiece([&logBytes](const char *, qsizetype size) {
            logBytes += size;
            return true;
        });
        const double logBytesPerEntry = double(logBytes) / double(entries);
        const double growthPerEntry =
            entries > entriesAtFirstReport
                ? double(rssEnd - rssAtFirstReport) * 1024 / double(entries - entriesAtFirstReport)
                : 0;
        std::printf("done: %ld cycles, %ld replies, %zu log entries; fds %ld before, %ld after; "
                    "VmRSS %ld KiB at start, %ld KiB at the end; growth after the first report "
                    "%.0f bytes per entry (the entries' text is %.0f bytes each)\n",
                    port.sends, port.replies, entries, fdsBefore, openDescriptors(), rssStart,
                    rssEnd, growthPerEntry, logBytesPerEntry);
        QCoreApplication::exit(port.replies == port.sends ? 0 : 1);
    });
    return application.exec();
}
