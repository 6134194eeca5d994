// The tool against the simulated module: what the configuration frames and repeat sending do to
// a module, seen through the tool's own response box and log.
#include "HostTool.h"
#include "SimProcess.h"

#include "core/DisplayText.h"

#include <QRegularExpression>

#include <csignal>
#include <memory>

class SimulatedModuleTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HostTool> tool;
    std::unique_ptr<SimProcess> sim;

    void startSim(std::vector<std::string> args)
    {
        sim = std::make_unique<SimProcess>(QFile::encodeName(tool->configPath()).toStdString(),
                                           std::move(args));
        QVERIFY(sim->readBanner());
        pick("Combo1", QStringLiteral("COM%1").arg(sim->com()));
        click("Command1");
    }
    template<typename T>
    T *find(const char *name)
    {
        return tool->find<T>(name);
    }
    void click(const char *button) { tool->click(button); }
    void pick(const char *list, const QString &entry)
    {
        QVERIFY2(tool->pick(list, entry), qPrintable(entry));
    }
    // Sends a typed command and gives the exact reply as the log recorded it.
    QString send(const QString &command)
    {
        find<QLineEdit>("Text2")->setText(command);
        QTest::keyClick(find<QLineEdit>("Text2"), Qt::Key_Return);
        return lastReply();
    }
    QString lastReply()
    {
        const QString log = tool->program.log().text();
        const QString top = log.left(log.indexOf(QStringLiteral("\r\n"), 0) + 2);
        const qsizetype at = top.indexOf(QStringLiteral("   Response:"));
        const QString reply = top.mid(at + 12).chopped(2);
        // The response box shows the same reply.
        if (tool->response() != displayText(reply))
            return QStringLiteral("<response box differs>");
        return reply;
    }
    static bool isEngineering(const QString &reply)
    {
        static const QRegularExpression shape(QStringLiteral("^>[+-]\\d\\d\\.\\d{3}\\r$"));
        return shape.match(reply).hasMatch();
    }

private slots:
    void init() { tool = std::make_unique<HostTool>(); }
    void cleanup()
    {
        tool.reset();
        if (sim)
            QCOMPARE(sim->stopWith(SIGTERM), 0);
        sim.reset();
    }

    void readsFromTheDefaultAddress()
    {
        startSim({});
        QVERIFY(isEngineering(send(QStringLiteral("#01"))));
        QCOMPARE(send(QStringLiteral("#02")), QString()); // another address: silence
        QCOMPARE(send(QStringLiteral("#01X")), QStringLiteral("?01\r"));
    }

    void setWithANewAddressMovesTheModule()
    {
        startSim({"--jumper"});
        find<QLineEdit>("Text4")->setText(QStringLiteral("05"));
        click("Command4");
        QCOMPARE(find<QLineEdit>("Text2")->text(), QStringLiteral("%0005000600"));
        QCOMPARE(lastReply(), QStringLiteral("!05\r"));
        QVERIFY(isEngineering(send(QStringLiteral("#05"))));
        QCOMPARE(send(QStringLiteral("#01")), QString());
    }

    void setWithAnotherFormatChangesTheReadingsShape()
    {
        startSim({});
        pick("Combo3", QStringLiteral("16进制的补码"));
        click("Command4");
        QCOMPARE(lastReply(), QStringLiteral("!01\r")); // same rate: no jumper needed
        QVERIFY(QRegularExpression(QStringLiteral("^>[0-9A-F]{4}\\r$"))
                    .match(send(QStringLiteral("#01")))
                    .hasMatch());
        pick("Combo3", QStringLiteral("满刻度的百分比"));
        click("Command4");
        QVERIFY(QRegularExpression(QStringLiteral("^>[+-]\\d{3}\\.\\d\\d\\r$"))
                    .match(send(QStringLiteral("#01")))
                    .hasMatch());
    }

    void aBaudRateChangeNeedsTheJumperAndThenTheLinkRate()
    {
        startSim({});
        pick("Combo2", QStringLiteral("19200"));
        click("Command4");
        QCOMPARE(lastReply(), QStringLiteral("?01\r")); // refused whole without the jumper
        QVERIFY(isEngineering(send(QStringLiteral("#01"))));
    }

    void aBaudRateChangeWithTheJumper()
    {
        startSim({"--jumper"});
        pick("Combo2", QStringLiteral("19200"));
        click("Command4");
        QCOMPARE(lastReply(), QStringLiteral("!01\r"));   // acknowledged at the old rate
        QCOMPARE(send(QStringLiteral("#01")), QString()); // the line is still at 9600
        pick("Combo5", QStringLiteral("19200"));
        QVERIFY(isEngineering(send(QStringLiteral("#01"))));
    }

    void modbusRtuSilencesTextCommands()
    {
        startSim({});
        pick("Combo4", QStringLiteral("MODBUS RTU"));
        click("Command5");
        QCOMPARE(find<QLineEdit>("Text3")->text(), QStringLiteral("$00P1"));
        QCOMPARE(lastReply(), QStringLiteral("?01\r")); // no jumper
        sim.reset();
        startSim({"--jumper", "--com", "2"});
        click("Command5");
        QCOMPARE(lastReply(), QStringLiteral("!01\r"));
        QCOMPARE(send(QStringLiteral("#01")), QString());
    }

    void continueSendShowsTheReadingChange()
    {
        startSim({});
        find<QLineEdit>("Text5")->setText(QStringLiteral("0"));
        QTimer::singleShot(1500, [this] { click("Command7"); });
        click("Command6");
        const QStringList entries =
            tool->program.log().text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY(entries.size() >= 3);
        QSet<QString> readings;
        for (const QString &entry : entries) {
            const QString reply = entry.mid(entry.indexOf(QStringLiteral("   Response:")) + 12);
            QVERIFY2(isEngineering(reply), qPrintable(reply));
            readings.insert(reply);
        }
        QVERIFY(readings.size() >= 2);
    }
};

QTEST_MAIN(SimulatedModuleTest)
#include "SimulatedModuleTest.moc"
