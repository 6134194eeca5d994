#include "app/QtEventPump.h"

#include <QCoreApplication>
#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

QtEventPump::QtEventPump()
{
#ifdef Q_OS_LINUX
    // A sleep lasts its time plus the thread's timer slack (50 us by default). The reply wait and
    // the repeat countdown are hundreds of 1 ms sleeps: ask for the least slack the kernel gives.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

void QtEventPump::pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::sleepMilliseconds(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}
