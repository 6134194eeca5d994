// The tool as main() builds it, plus a script of clicks, for the shutdown tests: closing the
// window must end the process at once, whatever is running. Prints how many commands had gone
// out when the close came, so the test can check that nothing followed.
//   usage: tolvane-shutdown-harness repeat|wait|idle  CLOSE_AFTER_MS
#include "app/HostWiring.h"
#include "app/Program.h"
#include "core/ForwardingSerialPort.h"
#include "serial/PlatformSerialPort.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

// Counts the commands handed to the line.
class CountingPort : public ForwardingSerialPort
{
public:
    using ForwardingSerialPort::ForwardingSerialPort;
    int commands = 0;

    bool write(const QByteArray &bytes) override
    {
        commands += int(bytes.count('\r'));
        return ForwardingSerialPort::write(bytes);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 3)
        return 2;
    const QByteArray scenario = argv[1];
    const int closeAfter = QByteArray(argv[2]).toInt();

    PlatformSerialPort host;
    CountingPort port(host);
    Program program(port);
    wireHostPort(program.window(), host);
    program.window().show();

    auto click = [&](const char *name) {
        static_cast<QPushButton *>(program.window().control(QString::fromLatin1(name)))->click();
    };
    QTimer::singleShot(0, [&] {
        click("Command1");
        QTimer::singleShot(closeAfter, [&] {
            std::printf("commands %d\n", port.commands);
            std::fflush(stdout);
            program.window().close();
            std::printf("still running after close\n");
            std::fflush(stdout);
        });
        if (scenario == "repeat")
            click("Command6");
        else if (scenario == "wait")
            click("Command3");
    });
    application.exec();
    return 3; // the close must end the process before this
}
