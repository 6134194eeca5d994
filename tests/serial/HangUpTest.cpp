#include "PortFixture.h"

#include <cstdio>
#include <sys/resource.h>

namespace {

qint64 cpuMilliseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

using HangUpTest = PortFixture;

const QString wentAway = QStringLiteral(": device went away (unplugged or closed)");

TEST_F(HangUpTest, IdlePortClosesAndStopsSpinning)
{
    ASSERT_TRUE(openCom(m_port, 1));
    const int changesWhileOpen = m_stateChanges;
    m_peer.hangUp();
    pumpEvents(300);
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_port.lastFailure(), m_peer.slavePath() + wentAway);
    EXPECT_GT(m_stateChanges, changesWhileOpen);

    const qint64 before = cpuMilliseconds();
    pumpEvents(500);
    const qint64 spent = cpuMilliseconds() - before;
    std::printf("CPU time over 500 ms of event pumping after the hang-up: %lld ms\n",
                static_cast<long long>(spent));
    EXPECT_LT(spent, 100);
}

TEST_F(HangUpTest, ReadPollingLoopEndsWhenTheDeviceGoesAway)
{
    ASSERT_TRUE(openCom(m_port, 1));
    ASSERT_TRUE(m_port.write("#01\r"));
    ASSERT_EQ(m_peer.receive(4), QByteArray("#01\r"));
    const ReadPolling reply = pollReply(m_port, [this](int pass) {
        if (pass == 10)
            m_peer.hangUp();
    });
    EXPECT_TRUE(reply.readFailed);
    EXPECT_LT(reply.passes, 300);
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_port.lastFailure(), m_peer.slavePath() + wentAway);
}

TEST_F(HangUpTest, OperationsWithoutEventPumpingNoticeTheLoss)
{
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
}

} // namespace
