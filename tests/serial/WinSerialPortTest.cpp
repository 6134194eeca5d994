#include "serial/WinSerialPort.h"

#include "core/ComLinks.h"

#include <QtGlobal>

#include <gtest/gtest.h>

namespace {

class WinPortTest : public ::testing::Test
{
protected:
    WinPortTest()
    {
        QObject::connect(&m_port, &WinSerialPort::stateChanged, [this] { ++m_stateChanges; });
    }

    WinSerialPort m_port;
    int m_stateChanges = 0;
};

// Closed, the port refuses to move bytes and stays quietly closed: no failure is recorded.
TEST_F(WinPortTest, AClosedPortRefusesAndStaysAsItWas)
{
    QByteArray received;
    EXPECT_FALSE(m_port.discardOutput());
    EXPECT_FALSE(m_port.discardInput());
    EXPECT_FALSE(m_port.write("#01\r"));
    EXPECT_FALSE(m_port.read(received));
    EXPECT_EQ(received, QByteArray());
    EXPECT_TRUE(m_port.setOpen(false));
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_port.lastFailure(), QString());
    EXPECT_EQ(m_stateChanges, 0);

    for (const std::int16_t outside : {std::int16_t(tolvane::kFirstCom - 1),
                                       std::int16_t(tolvane::kLastCom + 1)}) {
        EXPECT_FALSE(m_port.setPortNumber(outside)) << outside;
        EXPECT_EQ(m_port.portNumber(), 1);
    }
    EXPECT_FALSE(m_port.setSettings("fast,N,8,1"));
    EXPECT_TRUE(m_port.lastFailure().contains("\"fast,N,8,1\" not understood"))
        << m_port.lastFailure().toStdString();
    EXPECT_FALSE(m_port.setReadLength(1));
    EXPECT_TRUE(m_port.setReadLength(0));
}

// Under the test runner COM1..COM20 lead nowhere: every open fails, with the words the lamp's
// tooltip shows, and leaves the port closed.
TEST_F(WinPortTest, APortWithNothingBehindItIsNoSuchDevice)
{
    if (qEnvironmentVariableIntValue("TOLVANE_COM_PORTS_UNMAPPED") != 1)
        GTEST_SKIP() << "only where COM1..COM20 are known to lead nowhere (tests/wine-run.sh)";
    for (const std::int16_t n : {std::int16_t(tolvane::kFirstCom), std::int16_t(7),
                                 std::int16_t(tolvane::kLastCom)}) {
        ASSERT_TRUE(m_port.setPortNumber(n));
        EXPECT_FALSE(m_port.setOpen(true));
        EXPECT_FALSE(m_port.isOpen());
        EXPECT_EQ(m_port.currentDevice(), QStringLiteral("COM%1").arg(n));
        EXPECT_EQ(m_port.lastFailure(), QStringLiteral("no such device: COM%1").arg(n));
        QByteArray received;
        EXPECT_FALSE(m_port.read(received));
    }
    EXPECT_EQ(m_stateChanges, 3);
}

} // namespace
