// The real window and the host's serial layer, talking over pseudo-terminals to a module peer.
#include "HostTool.h"
#include "ModulePeer.h"

#include "core/DisplayText.h"

#include <QProcess>

#include <memory>

namespace {

const QColor Grey(192, 192, 192);
const QColor Green(0, 255, 0);

} // namespace

class LineTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ModulePeer> peer;
    std::unique_ptr<HostTool> tool;

    template<typename T>
    T *find(const char *name)
    {
        return tool->find<T>(name);
    }
    void click(const char *button) { tool->click(button); }
    void pick(const char *list, const QString &entry) { QVERIFY(tool->pick(list, entry)); }
    QColor lamp() { return tool->lamp(); }
    QString response() { return tool->response(); }
    void pressEnter() { tool->pressEnter(); }

private slots:
    void init()
    {
        peer = std::make_unique<ModulePeer>([](const QByteArray &command) {
            return command == "#01" ? QByteArrayLiteral(">+05.123\r") : QByteArrayLiteral("?01\r");
        });
        tool = std::make_unique<HostTool>();
        QVERIFY(tool->bind(1, peer->slavePath()));
    }
    void cleanup()
    {
        tool.reset();
        peer.reset();
    }

    void openSendAndTheReplyReachesTheResponseBoxAndTheLog()
    {
        // The tooltips are read afresh when the list opens: COM1 was bound after start-up.
        find<QComboBox>("Combo1")->showPopup();
        find<QComboBox>("Combo1")->hidePopup();
        const QString tip = find<QComboBox>("Combo1")->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("COM1 -> ") + peer->slavePath()), qPrintable(tip));
        click("Command1");
        QCOMPARE(lamp(), Green);
        QVERIFY(tool->lampToolTip().contains(peer->slavePath()));
        pressEnter();
        QCOMPARE(peer->received().size(), 1);
        QCOMPARE(peer->received().first().command, QByteArrayLiteral("#01"));
        QCOMPARE(peer->received().first().baud, 9600);
        QCOMPARE(response(), displayText(QStringLiteral(">+05.123\r")));
        const QString log = tool->program.log().text();
        QVERIFY(log.endsWith(QStringLiteral("   Command:#01   Response:>+05.123\r\r\n")));
    }

    void theLinkBaudListSetsTheLineRateAtTheNextSend()
    {
        click("Command1");
        QCOMPARE(peer->lineBaud(), 9600);
        pick("Combo5", QStringLiteral("19200"));
        QCOMPARE(peer->lineBaud(), 9600); // no immediate effect
        click("Command3");
        QCOMPARE(peer->received().last().baud, 19200);
        pick("Combo5", QStringLiteral("115200"));
        find<QLineEdit>("Text2")->setText(QStringLiteral("$01M"));
        click("Command3");
        QCOMPARE(peer->received().last().baud, 115200);
        QCOMPARE(response(), displayText(QStringLiteral("?01\r")));
    }

    // Without Open, the first send opens the port itself.
    void sendOpensAClosedPort()
    {
        QCOMPARE(lamp(), Grey);
        pressEnter();
        QCOMPARE(lamp(), Green);
        QCOMPARE(peer->received().size(), 1);
    }

    void openOnAMissingDeviceStaysGreyAndSendLogsAnEmptyReply()
    {
        QVERIFY(tool->bind(2, tool->config.filePath(QStringLiteral("no-such-device"))));
        pick("Combo1", QStringLiteral("COM2"));
        click("Command1");
        QCOMPARE(lamp(), Grey);
        QVERIFY2(tool->lampToolTip().contains(QStringLiteral("no such device")),
                 qPrintable(tool->lampToolTip()));
        pressEnter();
        QCOMPARE(lamp(), Grey);
        QVERIFY(response().isEmpty());
        QVERIFY(
            tool->program.log().text().endsWith(QStringLiteral("   Command:#01   Response:\r\n")));
        QVERIFY(peer->received().isEmpty());
    }

    void openOnADeviceHeldByAnotherProgramStaysGrey()
    {
        QProcess holder;
        holder.start(QStringLiteral(PORT_HOLDER), {QStringLiteral("1")});
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(holder.readLine().trimmed(), QByteArrayLiteral("open"));
        click("Command1");
        QCOMPARE(lamp(), Grey);
        QVERIFY2(tool->lampToolTip().contains(QStringLiteral("in use")),
                 qPrintable(tool->lampToolTip()));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
        click("Command1");
        QCOMPARE(lamp(), Green);
    }

    void closeTwiceAndReselectingTheListWhileOpenCloseThePort()
    {
        click("Command1");
        click("Command2");
        QCOMPARE(lamp(), Grey);
        QVERIFY(!tool->port.isOpen());
        click("Command2");
        QCOMPARE(lamp(), Grey);

        click("Command1");
        QVERIFY(tool->port.isOpen());
        pick("Combo1", QStringLiteral("COM1")); // the same entry again still closes
        QCOMPARE(lamp(), Grey);
        QVERIFY(!tool->port.isOpen());
        QCOMPARE(tool->program.state().PortNumber, 1);
        // Released for real: another program can have it now.
        QProcess holder;
        holder.start(QStringLiteral(PORT_HOLDER), {QStringLiteral("1")});
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(holder.readLine().trimmed(), QByteArrayLiteral("open"));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));
    }

    // Open then Open again: the port stays open and working, the lamp keeps its colour.
    void openOnAnOpenPortLeavesItOpen()
    {
        click("Command1");
        click("Command1");
        QCOMPARE(lamp(), Green);
        QVERIFY(tool->port.isOpen());
        pressEnter();
        QCOMPARE(response(), displayText(QStringLiteral(">+05.123\r")));
    }

    // The module goes away in the middle of a reply wait: the wait ends as a silent one and the
    // port is closed instead of spinning on a hung-up line.
    void aDeviceLostDuringTheWaitClosesThePort()
    {
        peer.reset();
        peer = std::make_unique<ModulePeer>(nullptr);
        QVERIFY(tool->bind(1, peer->slavePath()));
        click("Command1");
        QTimer::singleShot(50, [this] { peer->hangUp(); });
        pressEnter();
        QVERIFY(response().isEmpty());
        QVERIFY(!tool->port.isOpen());
        QVERIFY2(tool->lampToolTip().contains(QStringLiteral("went away")),
                 qPrintable(tool->lampToolTip()));
    }

    // Continue send repeats the command until Stop; a Stop inside a reply wait lets that cycle
    // finish and sends nothing more.
    void continueSendRepeatsUntilStop()
    {
        find<QLineEdit>("Text5")->setText(QStringLiteral("50"));
        QTimer::singleShot(1200, [this] { click("Command7"); });
        click("Command6"); // returns when the run ends
        const int sent = int(peer->received().size());
        QVERIFY2(sent >= 3, qPrintable(QString::number(sent)));
        QCOMPARE(int(tool->program.log().entryCount()), sent);
        QTest::qWait(400);
        QCOMPARE(int(peer->received().size()), sent);
    }

    void stopDuringTheReplyWaitEndsTheRunAfterThatCycle()
    {
        find<QLineEdit>("Text2")->setText(QStringLiteral("#09")); // nobody answers
        QTimer::singleShot(100, [this] { click("Command7"); });
        click("Command6");
        QCOMPARE(int(peer->received().size()), 1);
        QCOMPARE(int(tool->program.log().entryCount()), 1);
        QTest::qWait(400);
        QCOMPARE(int(peer->received().size()), 1);
    }

    void stopBeforeContinueSendDoesNotCancelTheRun()
    {
        click("Command7");
        QTimer::singleShot(800, [this] { click("Command7"); });
        click("Command6");
        QVERIFY(peer->received().size() >= 2);
    }
};

QTEST_MAIN(LineTest)
#include "LineTest.moc"
