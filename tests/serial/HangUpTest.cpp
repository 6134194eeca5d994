#include "PortFixture.h"

namespace {

using HangUpTest = PortFixture;

const QString wentAway = QStringLiteral(": device went away (unplugged or closed)");

// The end to end tests lose the device while the event loop runs; here an operation notices
// first, and the window still hears of it.
TEST_F(HangUpTest, OperationsWithoutEventPumpingNoticeTheLoss)
{
    int losses = 0;
    QObject::connect(&m_port, &HostSerialPort::deviceLost, [&losses] { ++losses; });
    QByteArray received;
    const std::function<bool()> operations[] = {
        [&] { return m_port.write("#01\r"); },
        [&] { return m_port.read(received); },
        [&] { return m_port.discardInput(); },
    };
    for (const auto &operation : operations) {
        PtyPeer peer;
        ASSERT_TRUE(QFile::remove(QString::fromStdString(tolvane::comLinkPath(1))));
        linkCom(1, peer.slavePath());
        ASSERT_TRUE(openCom(m_port, 1));
        peer.hangUp();
        EXPECT_FALSE(operation());
        EXPECT_FALSE(m_port.isOpen());
        EXPECT_EQ(m_port.lastFailure(), peer.slavePath() + wentAway);
    }
    EXPECT_EQ(losses, 3);
}

} // namespace
