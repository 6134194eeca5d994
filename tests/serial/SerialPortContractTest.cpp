// What the serial port promises on every platform, run against the port this build has.
#include "PortPeer.h"
#include "QtPrinting.h"

#include "core/ComLinks.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

class SerialPortContract : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_peer = PortPeer::create();
        m_port = m_peer->makePort();
        QObject::connect(m_port.get(), &PlatformSerialPort::stateChanged,
                         [this] { ++m_stateChanges; });
    }

    // The caller's usual steps before a send.
    static bool openCom(PlatformSerialPort &port, int n, const QString &settings = "9600,N,8,1")
    {
        return port.setPortNumber(std::int16_t(n)) && port.setSettings(settings) &&
               port.setReadLength(0) && port.setOpen(true);
    }

    // Reads like the tool: one read() per pass of event pumping and a 1 ms sleep, at most 300
    // passes, until `count` bytes came.
    QByteArray readBytes(int count)
    {
        QByteArray received;
        for (int pass = 0; pass < 300 && received.size() < count; ++pass) {
            QCoreApplication::processEvents();
            if (!m_port->read(received)) {
                ADD_FAILURE() << "a read failed";
                break;
            }
            QThread::msleep(1);
        }
        return received;
    }

    std::unique_ptr<PortPeer> m_peer;
    std::unique_ptr<PlatformSerialPort> m_port;
    int m_stateChanges = 0;
};

// Closed, the port refuses to move bytes and stays quietly closed; what it cannot take it
// refuses in the same words on every platform.
TEST_F(SerialPortContract, AClosedPortRefusesAndSaysWhy)
{
    QByteArray received;
    EXPECT_FALSE(m_port->discardOutput());
    EXPECT_FALSE(m_port->discardInput());
    EXPECT_FALSE(m_port->write("#01\r"));
    EXPECT_FALSE(m_port->read(received));
    EXPECT_EQ(received, QByteArray());
    EXPECT_TRUE(m_port->setOpen(false));
    EXPECT_FALSE(m_port->isOpen());
    EXPECT_EQ(m_port->lastFailure(), QString());
    EXPECT_EQ(m_stateChanges, 0);

    for (const int outside : {tolvane::kFirstCom - 1, tolvane::kLastCom + 1}) {
        EXPECT_FALSE(m_port->setPortNumber(std::int16_t(outside)));
        EXPECT_EQ(m_port->lastFailure(),
                  QStringLiteral("COM%1 is not a port number (COM%2 to COM%3)")
                      .arg(outside)
                      .arg(tolvane::kFirstCom)
                      .arg(tolvane::kLastCom));
        EXPECT_EQ(m_port->portNumber(), 1);
    }
    EXPECT_FALSE(m_port->setSettings("fast,N,8,1"));
    EXPECT_EQ(m_port->lastFailure(), "settings \"fast,N,8,1\" not understood (expected "
                                     "baud,parity,data bits,stop bits such as 9600,N,8,1)");
    EXPECT_FALSE(m_port->setReadLength(1));
    EXPECT_EQ(m_port->lastFailure(),
              "read length 1 is not supported (only 0: everything received)");
    EXPECT_TRUE(m_port->setReadLength(0));
    EXPECT_EQ(m_stateChanges, 4);

    const QString absent = m_peer->makeAbsent(tolvane::kLastCom);
    EXPECT_FALSE(openCom(*m_port, tolvane::kLastCom));
    EXPECT_FALSE(m_port->isOpen());
    EXPECT_EQ(m_port->currentDevice(), absent);
    EXPECT_EQ(m_port->lastFailure(), "no such device: " + absent);

    EXPECT_TRUE(openCom(*m_port, 1));
    EXPECT_EQ(m_port->lastFailure(), QString());
    EXPECT_EQ(m_port->currentDevice(), m_peer->device());
}

TEST_F(SerialPortContract, BytesTravelBothWaysExactly)
{
    ASSERT_TRUE(openCom(*m_port, 1));
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    ASSERT_TRUE(m_port->write(everyByte));
    EXPECT_EQ(m_peer->receive(256), everyByte);

    m_peer->send(everyByte);
    EXPECT_EQ(readBytes(256), everyByte);
}

// What the port refuses leaves it as it was: open, it keeps its device and settings and goes on
// working.
TEST_F(SerialPortContract, RefusalsLeaveAnOpenPortAsItWas)
{
    ASSERT_TRUE(openCom(*m_port, 1, "38400,N,8,2"));
    EXPECT_EQ(m_peer->line(), std::make_pair(38400, true));
    EXPECT_FALSE(m_port->setPortNumber(2));
    EXPECT_FALSE(m_port->setOpen(true));
    EXPECT_EQ(m_port->lastFailure(), QString());
    EXPECT_FALSE(m_port->setSettings("fast,N,8,1"));
    EXPECT_EQ(m_peer->line(), std::make_pair(38400, true));
    EXPECT_EQ(m_port->portNumber(), 1);
    ASSERT_TRUE(m_port->write("#02\r"));
    EXPECT_EQ(m_peer->receive(4), QByteArray("#02\r"));

    ASSERT_TRUE(m_port->setSettings("19200,N,8,1"));
    EXPECT_EQ(m_peer->line(), std::make_pair(19200, false));

    EXPECT_TRUE(m_port->setOpen(false));
    EXPECT_TRUE(m_port->setOpen(false));
    EXPECT_FALSE(m_port->isOpen());
    EXPECT_FALSE(m_port->write("#01\r"));
    EXPECT_EQ(m_stateChanges, 3); // opened, settings refused, closed
}

// The end-to-end tests lose the device while the event loop runs; here an operation notices
// first, and the window still hears of it.
TEST_F(SerialPortContract, OperationsWithoutEventPumpingNoticeTheLoss)
{
    QByteArray received;
    const std::function<bool(PlatformSerialPort &)> operations[] = {
        [](PlatformSerialPort &port) { return port.write("#01\r"); },
        [&received](PlatformSerialPort &port) { return port.read(received); },
        [](PlatformSerialPort &port) { return port.discardInput(); },
    };
    for (const auto &operation : operations) {
        auto peer = PortPeer::create();
        auto port = peer->makePort();
        int losses = 0;
        QObject::connect(port.get(), &PlatformSerialPort::deviceLost, [&losses] { ++losses; });
        ASSERT_TRUE(openCom(*port, 1));
        const QString reason = peer->unplug();
        EXPECT_FALSE(operation(*port));
        EXPECT_FALSE(port->isOpen());
        EXPECT_EQ(port->lastFailure(), peer->device() + ": device went away (" + reason + ")");
        EXPECT_EQ(losses, 1);
    }
}

} // namespace
