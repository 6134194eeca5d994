// What the serial port promises on every platform, run against the port this build has.
#include "PortFixture.h"

#include "core/ComLinks.h"

#include <functional>

namespace {

using SerialPortContract = PortFixture;

// What moves bytes or drops them: refused by a closed port, and the first to notice a lost device.
const std::function<bool(PlatformSerialPort &)> Operations[] = {
    [](PlatformSerialPort &port) { return port.write("#01\r"); },
    [](PlatformSerialPort &port) {
        QByteArray received;
        return port.read(received);
    },
    [](PlatformSerialPort &port) { return port.discardInput(); },
    [](PlatformSerialPort &port) { return port.discardOutput(); },
};

// Closed, the port refuses to move bytes and stays quietly closed; what it cannot take it
// refuses in the same words on every platform.
TEST_F(SerialPortContract, AClosedPortRefusesAndSaysWhy)
{
    for (const auto &operation : Operations)
        EXPECT_FALSE(operation(*m_port));
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

TEST_F(SerialPortContract, InputWaitingBeforeOpenOrDiscardedIsGone)
{
    m_peer->send("stale");
    ASSERT_TRUE(openCom(*m_port, 1));
    QTest::qWait(50);
    QByteArray received;
    ASSERT_TRUE(m_port->read(received));
    EXPECT_EQ(received, QByteArray());

    m_peer->send("junk");
    QTest::qWait(50);
    ASSERT_TRUE(m_port->discardOutput());
    ASSERT_TRUE(m_port->discardInput());
    m_peer->send("fresh\r");
    EXPECT_EQ(readBytes(6), QByteArray("fresh\r"));
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
    EXPECT_EQ(m_stateChanges, 3); // opened, settings refused, closed
}

// The end-to-end tests lose the device while the event loop runs; here an operation notices
// first, and the window still hears of it.
TEST_F(SerialPortContract, OperationsWithoutEventPumpingNoticeTheLoss)
{
    for (const auto &operation : Operations) {
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
