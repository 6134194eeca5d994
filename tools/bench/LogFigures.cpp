// The log at 1,000 to a million entries: the cost of a send, memory per entry, the view's work
// for scrolling, selecting and copying, and a save against a plain write of the same bytes.
#include "Figures.h"
#include "Measure.h"

#include "app/MainWindow.h"
#include "app/TextPane.h"
#include "core/EventPump.h"
#include "core/FormState.h"
#include "core/LogEntry.h"
#include "core/LogModel.h"
#include "core/Operations.h"
#include "core/SerialPort.h"
#include "core/Timestamp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QByteArray Reply = QByteArrayLiteral(">+05.123\r");

// A module that has answered before the first read: what is timed is the tool's own work.
class AnsweringPort : public SerialPort
{
public:
    bool setPortNumber(std::int16_t) override { return true; }
    bool setSettings(const QString &) override { return true; }
    bool setReadLength(int) override { return true; }
    bool setOpen(bool) override { return true; }
    bool discardOutput() override { return true; }
    bool discardInput() override { return true; }
    bool write(const QByteArray &) override { return true; }
    bool read(QByteArray &received) override
    {
        if (!flood) {
            received += Reply;
            return true;
        }
        // A babbling module: a full input buffer of bytes without a CR on every read.
        for (int i = 0; i < 1024; ++i)
            received += char(0x20 + (m_next++ * 7) % 0x5F);
        return true;
    }
    bool flood = false;

private:
    int m_next = 0;
};

// Pumps the window's events but does not sleep.
class NoSleepPump : public EventPump
{
public:
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void sleepMilliseconds(int) override {}
};

struct Bench
{
    FormState state;
    LogModel log;
    AnsweringPort port;
    NoSleepPump pump;
    MainWindow window{log};
    Operations ops{state, window, port, pump, log};
    TextPane *view = nullptr;
    QString entry;

    Bench()
    {
        ops.StartUp();
        window.show();
        QCoreApplication::processEvents();
        view = qobject_cast<TextPane *>(window.control(QStringLiteral("RichTextBox1")));
        entry = logEntry(generalDateTime(QDateTime::currentDateTime()), QStringLiteral("#01"),
                         QString::fromLatin1(Reply));
    }
    // Entries go straight into the store, as a send puts them; the view is told once.
    void fillTo(long long entries)
    {
        while (qint64(log.entryCount()) < entries)
            log.prepend(entry);
        window.showNewLogEntry();
        QCoreApplication::processEvents();
    }
    // Median microseconds of one send: transaction, entry into the store, view updated and
    // painted.
    double sendMicroseconds(int samples)
    {
        std::vector<double> times;
        for (int i = 0; i < samples; ++i) {
            QElapsedTimer timer;
            timer.start();
            ops.SendCommand();
            view->viewport()->repaint();
            times.push_back(timer.nsecsElapsed() / 1000.0);
        }
        return median(times);
    }
    // Median milliseconds of a key press in the view, painted.
    double keyMilliseconds(Qt::Key key, Qt::KeyboardModifiers modifiers, int samples)
    {
        std::vector<double> times;
        for (int i = 0; i < samples; ++i) {
            QElapsedTimer timer;
            timer.start();
            QKeyEvent press(QEvent::KeyPress, key, modifiers);
            QApplication::sendEvent(view, &press);
            view->viewport()->repaint();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return median(times);
    }
};

double plainWriteMilliseconds(const QByteArray &bytes, const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    constexpr qsizetype Block = qsizetype(1) << 20;
    bool ok = fd >= 0;
    for (qsizetype at = 0; ok && at < bytes.size(); at += Block)
        ok = ::write(fd, bytes.constData() + at, std::size_t(std::min(Block, bytes.size() - at))) >
             0;
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? timer.nsecsElapsed() / 1e6 : -1;
}

QString count(long long entries)
{
    return entries >= 1000000 ? QStringLiteral("%1M").arg(entries / 1000000)
                              : QStringLiteral("%1k").arg(entries / 1000);
}

} // namespace

void logFigures(const BenchScale &scale, FigureTable &table)
{
    Bench bench;
    bench.fillTo(scale.entriesSmall);
    const double small = bench.sendMicroseconds(scale.samples);
    const long kibSmall = residentKiB();
    bench.fillTo(scale.entriesMiddle);
    const double middle = bench.sendMicroseconds(scale.samples);
    bench.fillTo(scale.entriesLarge);
    const long kibLarge = residentKiB();
    const double large = bench.sendMicroseconds(scale.samples);

    const QString smallName = count(scale.entriesSmall);
    table.add({QStringLiteral("Send cost at %1 / %2 / %3 entries")
                   .arg(smallName, count(scale.entriesMiddle), count(scale.entriesLarge)),
               QStringLiteral("%1 / %2 / %3 us").arg(number(small), number(middle), number(large)),
               QStringLiteral("cost at %1").arg(smallName),
               QStringLiteral("%1x / %2x").arg(number(middle / small, 2), number(large / small, 2)),
               QStringLiteral("at %1 <= 1.2x").arg(count(scale.entriesLarge))});

    const int entryBytes = int(bench.entry.toUtf8().size());
    const double perEntry =
        (kibLarge - kibSmall) * 1024.0 / double(scale.entriesLarge - scale.entriesSmall);
    table.add({QStringLiteral("Resident memory per entry at %1").arg(count(scale.entriesLarge)),
               QStringLiteral("%1 bytes").arg(number(perEntry)),
               QStringLiteral("entry text %1 bytes").arg(entryBytes),
               QStringLiteral("%1x").arg(number(perEntry / entryBytes, 2)),
               QStringLiteral("<= 2x")});

    const int keySamples = scale.full ? 5 : 2;
    const double toOldest = bench.keyMilliseconds(Qt::Key_End, Qt::ControlModifier, keySamples);
    const double selectAll = bench.keyMilliseconds(Qt::Key_A, Qt::ControlModifier, keySamples);
    const double copy = bench.keyMilliseconds(Qt::Key_C, Qt::ControlModifier, keySamples);
    table.add(
        {QStringLiteral("Scroll to oldest / select all / copy at %1")
             .arg(count(scale.entriesLarge)),
         QStringLiteral("%1 / %2 / %3 ms")
             .arg(number(toOldest, 1), number(selectAll, 1), number(copy, 1)),
         QStringLiteral("100 ms"),
         QStringLiteral("%1x / %2x / %3x")
             .arg(number(toOldest / 100, 2), number(selectAll / 100, 2), number(copy / 100, 2)),
         QStringLiteral("each < 100 ms")});

    // A flood: 300 reads of 1024 bytes and no CR, then a key typed into the command box.
    bench.port.flood = true;
    QElapsedTimer timer;
    timer.start();
    bench.ops.SendCommand();
    bench.window.repaint();
    const double flood = timer.nsecsElapsed() / 1e6;
    bench.port.flood = false;
    auto *command = qobject_cast<QLineEdit *>(bench.window.control(QStringLiteral("Text2")));
    timer.restart();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QApplication::sendEvent(command, &key);
    bench.window.repaint();
    const double typed = timer.nsecsElapsed() / 1e6;
    table.add({QStringLiteral("Flood reply of 307 kB without CR: shown / a key typed next"),
               QStringLiteral("%1 / %2 ms").arg(number(flood, 1), number(typed, 1)),
               QStringLiteral("100 ms"), QStringLiteral("%1x").arg(number(typed / 100, 2)),
               QStringLiteral("the key < 100 ms")});

    QTemporaryDir folder(QDir::homePath() + QStringLiteral("/.tolvane-bench-XXXXXX"));
    const QString saved = folder.filePath(QStringLiteral("log.txt"));
    bench.ops.setSaveDialog([&saved](const QString &) { return std::optional<QString>(saved); });
    QByteArray bytes;
    bench.log.forEachPiece([&bytes](const char *piece, qsizetype size) {
        bytes.append(piece, size);
        return true;
    });
    bytes.append("\r\n");
    std::vector<double> saves, plain;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        bench.ops.SaveLog();
        saves.push_back(timer.nsecsElapsed() / 1e6);
        plain.push_back(
            plainWriteMilliseconds(bytes, folder.filePath(QStringLiteral("plain.txt"))));
    }
    const double save = median(saves), write = median(plain);
    table.add({QStringLiteral("Save of a %1-entry log (%2 MB)")
                   .arg(count(scale.entriesLarge), number(bytes.size() / 1e6, 1)),
               QStringLiteral("%1 ms").arg(number(save)),
               QStringLiteral("write + fsync %1 ms").arg(number(write)),
               QStringLiteral("%1x").arg(number(save / write, 2)), QStringLiteral("<= 1.5x")});
}
