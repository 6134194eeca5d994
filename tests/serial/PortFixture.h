#pragma once

#include "PortPeer.h"
#include "QtPrinting.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

// The caller's usual steps before a send.
inline bool openCom(PlatformSerialPort &port, int n, const QString &settings = "9600,N,8,1")
{
    return port.setPortNumber(std::int16_t(n)) && port.setSettings(settings) &&
           port.setReadLength(0) && port.setOpen(true);
}

// A port whose COM1 reaches this platform's peer, as the tool drives it.
class PortFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QObject::connect(m_port.get(), &PlatformSerialPort::stateChanged,
                         [this] { ++m_stateChanges; });
    }

    // Reads like the tool: one read() per pass of event pumping, until `count` bytes came or a
    // read failed.
    QByteArray readBytes(int count)
    {
        QByteArray received;
        const auto done = [&] { return !m_port->read(received) || received.size() >= count; };
        EXPECT_TRUE(QTest::qWaitFor(done)) << received.size() << " of " << count << " bytes came";
        return received;
    }

    std::unique_ptr<PortPeer> m_peer = PortPeer::create();
    std::unique_ptr<PlatformSerialPort> m_port = m_peer->makePort();
    int m_stateChanges = 0;
};
