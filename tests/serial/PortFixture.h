#pragma once

#include "Pty.h"
#include "QtPrinting.h"
#include "core/ComLinks.h"
#include "serial/ComPortMap.h"
#include "serial/PlatformSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

// A pseudo-terminal peer behind COM1: XDG_CONFIG_HOME points at a temporary directory whose
// tolvane/com1 links to the peer's slave.
class PortFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        ASSERT_TRUE(m_peer.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(tolvane::linkDirectory())));
        linkCom(1, m_peer.slavePath());
        QObject::connect(&m_port, &PlatformSerialPort::stateChanged, [this] { ++m_stateChanges; });
    }

    void linkCom(int n, const QString &target)
    {
        ASSERT_TRUE(QFile::link(target, QString::fromStdString(tolvane::comLinkPath(n))));
    }

    // The caller's usual steps before a send.
    static bool openCom(PlatformSerialPort &port, int n, const QString &settings = "9600,N,8,1")
    {
        return port.setPortNumber(std::int16_t(n)) && port.setSettings(settings) &&
               port.setReadLength(0) && port.setOpen(true);
    }

    // Runs the event loop for about `milliseconds`, as the window does while it waits.
    static void pumpEvents(int milliseconds)
    {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Reads like the tool: one read() per pass of event pumping and a 1 ms sleep, at most 300
    // passes, until the reply holds a CR.
    QByteArray pollReply()
    {
        QByteArray received;
        for (int pass = 0; pass < 300 && !received.contains('\r'); ++pass) {
            QCoreApplication::processEvents();
            if (!m_port.read(received)) {
                ADD_FAILURE() << "a read failed";
                break;
            }
            QThread::msleep(1);
        }
        return received;
    }

    QTemporaryDir m_config;
    Pty m_peer;
    PlatformSerialPort m_port;
    int m_stateChanges = 0;
};
