#include "app/QtEventPump.h"

#include <QCoreApplication>
#include <QThread>

void QtEventPump::pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::sleepMilliseconds(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}
