// The real window and the host's serial layer, talking over pseudo-terminals to a module peer.
#include "ModulePeer.h"

#include "app/HostWiring.h"
#include "app/LampWidget.h"
#include "app/Program.h"
#include "core/DisplayText.h"
#include "serial/HostSerialPort.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QColor Grey(192, 192, 192);
const QColor Green(0, 255, 0);

} // namespace

class LineTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<ModulePeer> peer;
    std::unique_ptr<HostSerialPort> port;
    std::unique_ptr<Program> program;

    void bind(int com, const QString &device)
    {
        const QString link = config->filePath(QStringLiteral("tolvane/com%1").arg(com));
        QFile::remove(link);
        QVERIFY(QFile::link(device, link));
    }
    template<typename T>
    T *find(const char *name)
    {
        return qobject_cast<T *>(program->window().control(QString::fromLatin1(name)));
    }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void pick(const char *list, const QString &entry)
    {
        auto *box = find<QComboBox>(list);
        const int index = box->findText(entry);
        QVERIFY(index >= 0);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QColor lamp() { return find<LampWidget>("Shape1")->fillColor(); }
    QString response() { return find<QPlainTextEdit>("Text1")->toPlainText(); }
    void pressEnter() { QTest::keyClick(find<QLineEdit>("Text2"), Qt::Key_Return); }

private slots:
    void init()
    {
        config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
        QVERIFY(QDir(config->path()).mkpath(QStringLiteral("tolvane")));
        peer = std::make_unique<ModulePeer>([](const QByteArray &command) {
            return command == "#01" ? QByteArrayLiteral(">+05.123\r") : QByteArrayLiteral("?01\r");
        });
        bind(1, peer->slavePath());
        port = std::make_unique<HostSerialPort>();
        program = std::make_unique<Program>(*port);
        wireHostPort(program->window(), *port);
        program->window().setCloseHandler(nullptr); // closing would end the test process
        program->window().show();
    }
    void cleanup()
    {
        program.reset();
        port.reset();
        peer.reset();
        config.reset();
    }

    void openSendAndTheReplyReachesTheResponseBoxAndTheLog()
    {
        const QString tip = find<QComboBox>("Combo1")->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("COM1 -> ") + peer->slavePath()), qPrintable(tip));
        click("Command1");
        QCOMPARE(lamp(), Green);
        QVERIFY(find<LampWidget>("Shape1")->toolTip().contains(peer->slavePath()));
        pressEnter();
        QCOMPARE(peer->received().size(), 1);
        QCOMPARE(peer->received().first().command, QByteArrayLiteral("#01"));
        QCOMPARE(peer->received().first().baud, 9600);
        QCOMPARE(response(), displayText(QStringLiteral(">+05.123\r")));
        const QString log = program->log().text();
        QVERIFY(log.endsWith(QStringLiteral("   Command:#01   Response:>+05.123\r\r\n")));
        QCOMPARE(find<QPlainTextEdit>("RichTextBox1")->toPlainText(), displayText(log));
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
        bind(2, config->filePath(QStringLiteral("no-such-device")));
        pick("Combo1", QStringLiteral("COM2"));
        click("Command1");
        QCOMPARE(lamp(), Grey);
        QVERIFY2(find<LampWidget>("Shape1")->toolTip().contains(QStringLiteral("no such device")),
                 qPrintable(find<LampWidget>("Shape1")->toolTip()));
        pressEnter();
        QCOMPARE(lamp(), Grey);
        QVERIFY(response().isEmpty());
        QVERIFY(program->log().text().endsWith(QStringLiteral("   Command:#01   Response:\r\n")));
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
        QVERIFY2(find<LampWidget>("Shape1")->toolTip().contains(QStringLiteral("in use")),
                 qPrintable(find<LampWidget>("Shape1")->toolTip()));
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
        QVERIFY(!port->isOpen());
        click("Command2");
        QCOMPARE(lamp(), Grey);

        click("Command1");
        QVERIFY(port->isOpen());
        pick("Combo1", QStringLiteral("COM1")); // the same entry again still closes
        QCOMPARE(lamp(), Grey);
        QVERIFY(!port->isOpen());
        QCOMPARE(program->state().PortNumber, 1);
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
        QVERIFY(port->isOpen());
        pressEnter();
        QCOMPARE(response(), displayText(QStringLiteral(">+05.123\r")));
    }

    // The module goes away in the middle of a reply wait: the wait ends as a silent one and the
    // port is closed instead of spinning on a hung-up line.
    void aDeviceLostDuringTheWaitClosesThePort()
    {
        peer.reset();
        peer = std::make_unique<ModulePeer>(nullptr);
        bind(1, peer->slavePath());
        click("Command1");
        QTimer::singleShot(50, [this] { peer->hangUp(); });
        pressEnter();
        QVERIFY(response().isEmpty());
        QVERIFY(!port->isOpen());
        QVERIFY2(find<LampWidget>("Shape1")->toolTip().contains(QStringLiteral("went away")),
                 qPrintable(find<LampWidget>("Shape1")->toolTip()));
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
        QCOMPARE(int(program->log().entryCount()), sent);
        QTest::qWait(400);
        QCOMPARE(int(peer->received().size()), sent);
    }

    void stopDuringTheReplyWaitEndsTheRunAfterThatCycle()
    {
        find<QLineEdit>("Text2")->setText(QStringLiteral("#09")); // nobody answers
        QTimer::singleShot(100, [this] { click("Command7"); });
        click("Command6");
        QCOMPARE(int(peer->received().size()), 1);
        QCOMPARE(int(program->log().entryCount()), 1);
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
