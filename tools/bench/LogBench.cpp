// Does a send cost the same with a long log as with a short one? Runs the real window offscreen
// over a serial port that answers at once and a pump that does not sleep, so what is timed is
// the transaction and the log: the entry into the model and onto the top of the view.
#include "app/MainWindow.h"
#include "core/EventPump.h"
#include "core/FormState.h"
#include "core/LogModel.h"
#include "core/Operations.h"
#include "core/SerialPort.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

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
        received += QByteArrayLiteral(">+05.123\r");
        return true;
    }
};

class NoSleepPump : public EventPump
{
public:
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void sleepMilliseconds(int) override {}
};

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

// Mean microseconds per send over `sends` sends.
double timeSends(Operations &ops, int sends)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < sends; ++i)
        ops.SendCommand();
    return double(timer.nsecsElapsed()) / 1000.0 / sends;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    FormState state;
    LogModel log;
    AnsweringPort port;
    NoSleepPump pump;
    MainWindow window(log);
    Operations ops(state, window, port, pump, log);
    ops.StartUp();
    window.show();

    const int sample = 500;
    while (log.entryCount() < 1000)
        ops.SendCommand();
    const double small = timeSends(ops, sample);
    const long smallKiB = residentKiB();

    while (log.entryCount() < 100000)
        ops.SendCommand();
    const double large = timeSends(ops, sample);
    const long largeKiB = residentKiB();

    std::printf("send after %6d entries: %8.1f us\n", 1000, small);
    std::printf("send after %6zu entries: %8.1f us\n", log.entryCount() - sample, large);
    std::printf("ratio (100,000 / 1,000 entries): %.2f\n", large / small);
    std::printf("resident memory: %ld KiB at 1,000 entries, %ld KiB at 100,000 (%.0f bytes per "
                "entry of %d characters)\n",
                smallKiB, largeKiB, double(largeKiB - smallKiB) * 1024.0 / 99000.0,
                int(log.text().size() / log.entryCount()));
    return 0;
}
