// The tool against the simulated module: what the configuration frames and repeat sending do to
// a module, seen through the tool's own response box and log.
#include "SimProcess.h"

#include "app/HostWiring.h"
#include "app/Program.h"
#include "core/DisplayText.h"
#include "serial/HostSerialPort.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

class SimulatedModuleTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<HostSerialPort> port;
    std::unique_ptr<Program> program;

    void startSim(std::vector<std::string> args)
    {
        sim = std::make_unique<SimProcess>(QFile::encodeName(config->path()).toStdString(),
                                           std::move(args));
        QVERIFY(sim->readBanner());
        pick("Combo1", QStringLiteral("COM%1").arg(sim->com()));
        click("Command1");
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
        QVERIFY2(index >= 0, qPrintable(entry));
        box->setCurrentIndex(index);
        emit box->activated(index);
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
        const QString log = program->log().text();
        const QString top = log.left(log.indexOf(QStringLiteral("\r\n"), 0) + 2);
        const qsizetype at = top.indexOf(QStringLiteral("   Response:"));
        const QString reply = top.mid(at + 12).chopped(2);
        // The response box shows the same reply.
        if (find<QPlainTextEdit>("Text1")->toPlainText() != displayText(reply))
            return QStringLiteral("<response box differs>");
        return reply;
    }
    static bool isEngineering(const QString &reply)
    {
        static const QRegularExpression shape(QStringLiteral("^>[+-]\\d\\d\\.\\d{3}\\r$"));
        return shape.match(reply).hasMatch();
    }

private slots:
    void init()
    {
        config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config->path()));
        port = std::make_unique<HostSerialPort>();
        program = std::make_unique<Program>(*port);
        wireHostPort(program->window(), *port);
        program->window().setCloseHandler(nullptr);
    }
    void cleanup()
    {
        program.reset();
        port.reset();
        if (sim)
            QCOMPARE(sim->stopWith(SIGTERM), 0);
        sim.reset();
        config.reset();
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
                    .match(send(QStringLiteral("#01"))).hasMatch());
        pick("Combo3", QStringLiteral("满刻度的百分比"));
        click("Command4");
        QVERIFY(QRegularExpression(QStringLiteral("^>[+-]\\d{3}\\.\\d\\d\\r$"))
                    .match(send(QStringLiteral("#01"))).hasMatch());
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
        QCOMPARE(lastReply(), QStringLiteral("!01\r")); // acknowledged at the old rate
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
            program->log().text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
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
