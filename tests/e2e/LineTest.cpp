// The real window and the host's serial layer, talking over pseudo-terminals to a module peer.
#include "HostTool.h"
#include "ModulePeer.h"

#include "core/DisplayText.h"

#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

const QColor Grey(192, 192, 192);
const QColor Green(0, 255, 0);

QByteArray answer(const QByteArray &command)
{
    return command == "#01" ? QByteArrayLiteral(">+05.123\r") : QByteArrayLiteral("?01\r");
}

qint64 cpuMilliseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// CPU time used since `before`: a bound, so a hung-up line that keeps a notifier firing shows
// up as a core kept busy.
qint64 cpuSince(qint64 before)
{
    const qint64 spent = cpuMilliseconds() - before;
    std::printf("CPU time over 500 ms after the device went away: %lld ms\n",
                static_cast<long long>(spent));
    return spent;
}

enum Loss { Idle, InReplyWait, InRepeatRun };

} // namespace

class LineTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ModulePeer> peer;
    std::unique_ptr<HostTool> tool;

private slots:
    void init()
    {
        peer = std::make_unique<ModulePeer>(answer);
        tool = std::make_unique<HostTool>();
        QVERIFY(tool->bind(1, peer->slavePath()));
    }
    void cleanup()
    {
        tool.reset();
        peer.reset();
    }

    // Without Open, the first send opens the port itself.
    void aSendOpensThePortAndTheReplyReachesTheResponseBoxAndTheLog()
    {
        // The tooltips are read afresh when the list opens: COM1 was bound after start-up.
        tool->find<QComboBox>("Combo1")->showPopup();
        tool->find<QComboBox>("Combo1")->hidePopup();
        const QString tip =
            tool->find<QComboBox>("Combo1")->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("COM1 -> ") + peer->slavePath()), qPrintable(tip));
        QCOMPARE(tool->lamp(), Grey);
        tool->pressEnter();
        QCOMPARE(tool->lamp(), Green);
        QCOMPARE(tool->lampToolTip(), "Open: " + peer->slavePath());
        QCOMPARE(peer->received().size(), 1);
        QCOMPARE(peer->received().first().command, QByteArrayLiteral("#01"));
        QCOMPARE(peer->received().first().baud, 9600);
        QCOMPARE(tool->response(), displayText(QStringLiteral(">+05.123\r")));
        const QString log = tool->program.log().text();
        QVERIFY(log.endsWith(QStringLiteral("   Command:#01   Response:>+05.123\r\r\n")));
    }

    void theLinkBaudListSetsTheLineRateAtTheNextSend()
    {
        tool->click("Command1");
        QCOMPARE(peer->lineBaud(), 9600);
        QVERIFY(tool->pick("Combo5", QStringLiteral("19200")));
        QCOMPARE(peer->lineBaud(), 9600); // no immediate effect
        tool->click("Command3");
        QCOMPARE(peer->received().last().baud, 19200);
        QVERIFY(tool->pick("Combo5", QStringLiteral("115200")));
        tool->type("Text2", QStringLiteral("$01M"));
        tool->click("Command3");
        QCOMPARE(peer->received().last().baud, 115200);
        QCOMPARE(tool->response(), displayText(QStringLiteral("?01\r")));
    }

    // Picking the list entry again closes the port for real: another program can have it, and
    // Open then fails with the reason in the lamp's tooltip.
    void reselectingTheListClosesAndAHeldDeviceLeavesTheLampGrey()
    {
        tool->click("Command1");
        QCOMPARE(tool->lamp(), Green);
        QVERIFY(tool->pick("Combo1", QStringLiteral("COM1")));
        QCOMPARE(tool->lamp(), Grey);
        QVERIFY(!tool->port.isOpen());
        QProcess holder;
        holder.start(QStringLiteral(PORT_HOLDER), {QStringLiteral("1")});
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(holder.readLine().trimmed(), QByteArrayLiteral("open"));
        tool->click("Command1");
        QCOMPARE(tool->lamp(), Grey);
        QVERIFY2(tool->lampToolTip().contains(QStringLiteral("in use")),
                 qPrintable(tool->lampToolTip()));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
        tool->click("Command1");
        QCOMPARE(tool->lamp(), Green);
    }

    void aLostDeviceTurnsTheLampGreyUntilAnotherIsBound_data()
    {
        QTest::addColumn<int>("loss");
        QTest::newRow("idle") << int(Idle);
        QTest::newRow("in a reply wait") << int(InReplyWait);
        QTest::newRow("in a repeat run") << int(InRepeatRun);
    }

    // The module goes away (an adapter unplugged): the port closes instead of spinning on a
    // hung-up line, the lamp turns grey at once, and a device bound to the same COM number next
    // takes over at the next Open, or at the next cycle of a run that goes on.
    void aLostDeviceTurnsTheLampGreyUntilAnotherIsBound()
    {
        QFETCH(int, loss);
        peer = std::make_unique<ModulePeer>(nullptr); // silent: a reply wait lasts until the loss
        const QString lostPath = peer->slavePath();
        QVERIFY(tool->bind(1, lostPath));
        tool->click("Command1");
        QCOMPARE(tool->lamp(), Green);
        std::unique_ptr<ModulePeer> next;

        if (loss != InRepeatRun) {
            if (loss == Idle) {
                peer->hangUp();
                QTest::qWait(200);
            } else {
                QTimer::singleShot(50, [this] { peer->hangUp(); });
                tool->pressEnter();
                QVERIFY(tool->response().isEmpty());
            }
            QCOMPARE(tool->lamp(), Grey);
            QVERIFY(!tool->port.isOpen());
            QCOMPARE(tool->lampToolTip(),
                     "Not open: " + lostPath + ": device went away (unplugged or closed)");
            const qint64 cpuBefore = cpuMilliseconds();
            QTest::qWait(500);
            QVERIFY(cpuSince(cpuBefore) < 100);

            next = std::make_unique<ModulePeer>(answer);
            QVERIFY(tool->bind(1, next->slavePath()));
            tool->click("Command1");
            QCOMPARE(tool->lamp(), Green);
            tool->pressEnter();
            QCOMPARE(tool->response(), displayText(QStringLiteral(">+05.123\r")));
            return;
        }

        // Steps of the run, each taken once its condition holds: hang up inside the first reply
        // wait; two cycles later look at the lamp, and at the CPU over the next 500 ms; then bind
        // a new device and stop once it has had two commands.
        QColor lampWhileLost;
        QString tipWhileLost;
        bool openWhileLost = true;
        qint64 cpuBefore = 0;
        qint64 cpuWhileLost = -1;
        int step = 0;
        QElapsedTimer run;
        QElapsedTimer lost;
        run.start();
        QTimer driver;
        const auto entries = [this] { return int(tool->program.log().entryCount()); };
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (step == 0) {
                peer->hangUp();
                step = 1;
            } else if (step == 1 && entries() >= 2) {
                lampWhileLost = tool->lamp();
                tipWhileLost = tool->lampToolTip();
                openWhileLost = tool->port.isOpen();
                cpuBefore = cpuMilliseconds();
                lost.start();
                step = 2;
            } else if (step == 2 && lost.elapsed() >= 500) {
                cpuWhileLost = cpuSince(cpuBefore);
                next = std::make_unique<ModulePeer>(answer);
                tool->bind(1, next->slavePath());
                step = 3;
            } else if ((step == 3 && next->received().size() >= 2) || run.elapsed() > 20000) {
                driver.stop();
                tool->click("Command7");
            }
        });
        tool->type("Text5", QStringLiteral("50"));
        driver.start(20);
        tool->click("Command6"); // returns when the run ends
        QCOMPARE(lampWhileLost, Grey);
        QVERIFY(!openWhileLost);
        QCOMPARE(tipWhileLost, "Not open: no such device: " + lostPath);
        QVERIFY(cpuWhileLost >= 0 && cpuWhileLost < 100);
        QVERIFY(next && next->received().size() >= 2);
        QCOMPARE(tool->lamp(), Green);
        QVERIFY(tool->program.log().text().contains(QStringLiteral("Response:>+05.123\r")));
    }
};

QTEST_MAIN(LineTest)
#include "LineTest.moc"
