// The tool and the simulated module meet: one operator's path through the window against
// tolvane-sim. What the module makes of each command is SimModuleTest's table.
#include "HostTool.h"
#include "Match.h"
#include "SimProcess.h"

#include "core/DisplayText.h"

#include <csignal>

class SimulatedModuleTest : public QObject
{
    Q_OBJECT

private:
    // Sends the typed command and gives the reply as the log recorded it, once the response box
    // shows the same.
    static QString send(HostTool &tool, const QString &command)
    {
        tool.type("Text2", command);
        tool.pressEnter();
        return lastReply(tool);
    }
    static QString lastReply(HostTool &tool)
    {
        const QString log = tool.program.log().text();
        const QString top = log.left(log.indexOf(QStringLiteral("\r\n")));
        const QString reply = top.mid(top.indexOf(QStringLiteral("   Response:")) + 12);
        return tool.response() == displayText(reply) ? reply : QStringLiteral("<box differs>");
    }

private slots:
    void theToolReadsSetsAndFollowsARateChange()
    {
        HostTool tool;
        SimProcess sim(tool.configPath(), {QStringLiteral("--jumper")});
        QVERIFY(sim.readBanner());
        QVERIFY(tool.pick("Combo1", QStringLiteral("COM%1").arg(sim.com())));
        tool.click("Command1");
        QVERIFY(matches(send(tool, QStringLiteral("#01")).toStdString(), R"(>[+-]\d\d\.\d{3}\r)"));

        QVERIFY(tool.pick("Combo3", QStringLiteral("16进制的补码")));
        tool.click("Command4");
        QCOMPARE(lastReply(tool), QStringLiteral("!01\r"));
        QVERIFY(matches(send(tool, QStringLiteral("#01")).toStdString(), R"(>[0-9A-F]{4}\r)"));

        QVERIFY(tool.pick("Combo2", QStringLiteral("19200")));
        tool.click("Command4");
        QCOMPARE(lastReply(tool), QStringLiteral("!01\r"));     // acknowledged at the old rate
        QCOMPARE(send(tool, QStringLiteral("#01")), QString()); // the line is still at 9600
        QVERIFY(tool.pick("Combo5", QStringLiteral("19200")));
        QVERIFY(matches(send(tool, QStringLiteral("#01")).toStdString(), R"(>[0-9A-F]{4}\r)"));
        QCOMPARE(sim.stopWith(SIGTERM), 0);
    }
};

QTEST_MAIN(SimulatedModuleTest)
#include "SimulatedModuleTest.moc"
