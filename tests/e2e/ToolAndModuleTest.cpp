// The tool and the simulated module meet: the real window and serial layer against tolvane-sim
// over a pseudo-terminal. What the module makes of each command is SimModuleTest's table.
#include "HostTool.h"
#include "Match.h"
#include "SimProcess.h"

#include "core/DisplayText.h"

#include <QElapsedTimer>

#include <csignal>
#include <ctime>
#include <memory>

namespace {

const QColor Grey(192, 192, 192);
const QColor Green(0, 255, 0);
constexpr const char *kEngineeringReply = R"(>[+-]\d\d\.\d{3}\r)";

// Sends the typed command and gives the reply as the log recorded it, once the response box
// shows the same.
QString lastReply(HostTool &tool)
{
    const QString log = tool.program.log().text();
    const QString top = log.left(log.indexOf(QStringLiteral("\r\n")));
    const QString reply = top.mid(top.indexOf(QStringLiteral("   Response:")) + 12);
    return tool.response() == displayText(reply) ? reply : QStringLiteral("<box differs>");
}
QString send(HostTool &tool, const QString &command)
{
    tool.type("Text2", command);
    tool.pressEnter();
    return lastReply(tool);
}
bool isReading(const QString &reply, const char *pattern = kEngineeringReply)
{
    return matches(reply.toStdString(), pattern);
}

} // namespace

class ToolAndModuleTest : public QObject
{
    Q_OBJECT

private slots:
    // Without Open, the first send opens the port; a rate change is acknowledged at the old rate
    // and the link's list follows it at the next send.
    void theToolReadsSetsAndFollowsARateChange()
    {
        HostTool tool;
        SimProcess sim(tool.configPath(), {QStringLiteral("--jumper")});
        QVERIFY(sim.readBanner());
        auto *com = tool.find<QComboBox>("Combo1");
        com->showPopup(); // the tooltips are read afresh when the list opens
        com->hidePopup();
        const QString tip = com->itemData(0, Qt::ToolTipRole).toString();
        QVERIFY2(tip.startsWith(QStringLiteral("COM1 -> ") + sim.slavePath()), qPrintable(tip));
        QVERIFY(isReading(send(tool, QStringLiteral("#01"))));
        QCOMPARE(tool.lamp(), Green);
        QCOMPARE(tool.lampToolTip(), "Open: " + sim.slavePath());

        QVERIFY(tool.pick("Combo3", QStringLiteral("16进制的补码")));
        tool.click("Command4");
        QCOMPARE(lastReply(tool), QStringLiteral("!01\r"));
        QVERIFY(isReading(send(tool, QStringLiteral("#01")), R"(>[0-9A-F]{4}\r)"));

        QVERIFY(tool.pick("Combo2", QStringLiteral("19200")));
        tool.click("Command4");
        QCOMPARE(lastReply(tool), QStringLiteral("!01\r"));     // acknowledged at the old rate
        QCOMPARE(send(tool, QStringLiteral("#01")), QString()); // the line is still at 9600
        QVERIFY(tool.pick("Combo5", QStringLiteral("19200")));
        QVERIFY(isReading(send(tool, QStringLiteral("#01")), R"(>[0-9A-F]{4}\r)"));
    }

    // The wire takes its time: at 300 baud command and reply outlast the tool's wait, which shows
    // the reply cut as a real line would. Which module answers which address at which rate is the
    // line's table in SimLineTest.
    void aSlowLineCutsTheReply()
    {
        HostTool tool;
        SimProcess sim(tool.configPath(), {"--baud", "300"});
        QVERIFY(sim.readBanner());
        QVERIFY(tool.pick("Combo5", QStringLiteral("300")));
        QElapsedTimer waited;
        waited.start();
        const QString cut = send(tool, QStringLiteral("#01"));
        // Command and reply are 4 + 9 characters of 10 bits: 433 ms on the wire at 300 baud. A
        // wait shorter than that must show the reply cut; a loaded machine stretches the 301
        // passes past it, and then the reply may have come whole, but never more than that.
        const bool shorterThanTheWire = waited.elapsed() < 433;
        QVERIFY2(matches(cut.toStdString(), R"(>[+-]?[0-9.]{0,6}\r?)"), qPrintable(cut));
        QVERIFY2(!shorterThanTheWire || cut.size() < 9, qPrintable(cut));
    }

    void aLostDeviceTurnsTheLampGreyUntilAnotherIsBound_data()
    {
        QTest::addColumn<QString>("running");
        QTest::newRow("idle") << QString();
        QTest::newRow("in a reply wait") << QStringLiteral("Command3");
        QTest::newRow("in a repeat run") << QStringLiteral("Command6");
    }

    // The module goes away (an adapter unplugged): the port closes instead of spinning on a
    // hung-up line, the lamp turns grey at once, and a device bound to the same COM number
    // takes over at the next Open.
    void aLostDeviceTurnsTheLampGreyUntilAnotherIsBound()
    {
        QFETCH(QString, running);
        HostTool tool;
        // Silent: a reply wait lasts until the loss.
        auto lost = std::make_unique<SimProcess>(tool.configPath(),
                                                 QStringList{QStringLiteral("--silent")});
        QVERIFY(lost->readBanner());
        const QString lostPath = lost->slavePath();
        tool.click("Command1");
        QCOMPARE(tool.lamp(), Green);
        if (running.isEmpty()) {
            lost->stopWith(SIGKILL);
            QTest::qWait(200);
        } else {
            QTimer::singleShot(50, [&lost] { lost->stopWith(SIGKILL); });
            QTimer::singleShot(100, [&tool] { tool.click("Command7"); });
            tool.click(running.toLatin1().constData()); // returns when the wait or run ends
            QVERIFY(tool.response().isEmpty());
        }
        QCOMPARE(tool.lamp(), Grey);
        QVERIFY(!tool.port.isOpen());
        QCOMPARE(tool.lampToolTip(),
                 "Not open: " + lostPath + ": device went away (unplugged or closed)");
        const std::clock_t cpuBefore = std::clock(); // the process's CPU time, all threads
        QTest::qWait(500);
        const long spent = long((std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC);
        QVERIFY2(spent < 100, qPrintable(QStringLiteral("%1 ms of CPU in 500 ms").arg(spent)));

        QVERIFY(QFile::remove(QString::fromStdString(tolvane::comLinkPath(1))));
        SimProcess next(tool.configPath(), {QStringLiteral("--com"), QStringLiteral("1")});
        QVERIFY(next.readBanner());
        tool.click("Command1");
        QCOMPARE(tool.lamp(), Green);
        QVERIFY(isReading(send(tool, QStringLiteral("#01"))));
    }
};

QTEST_MAIN(ToolAndModuleTest)
#include "ToolAndModuleTest.moc"
