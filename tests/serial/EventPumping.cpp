#include "EventPumping.h"

#include "serial/HostSerialPort.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

void pumpEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

ReadPolling pollReply(HostSerialPort &port, const std::function<void(int pass)> &beforePass)
{
    ReadPolling polling;
    while (polling.passes < 300 && !polling.received.contains('\r')) {
        if (beforePass)
            beforePass(polling.passes);
        ++polling.passes;
        QCoreApplication::processEvents();
        if (!port.read(polling.received)) {
            polling.readFailed = true;
            break;
        }
        QThread::msleep(1);
    }
    return polling;
}
