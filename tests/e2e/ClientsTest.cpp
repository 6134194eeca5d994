// Programs nobody here wrote talk to the simulated modules over the pseudo-terminal: mbpoll and
// pymodbus as MODBUS RTU masters, pyserial in the character protocol. Each row runs the client's
// commands in turn against one line of modules and matches each one's output.
#include "SimProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

struct Step
{
    QStringList command; // "PORT" stands for the module's device
    QString expected;    // a regular expression the output must contain
};

// What the client needs that may not be installed: an empty string when all is there.
QString missing(const QString &client)
{
    if (client == QLatin1String("mbpoll"))
        return QStandardPaths::findExecutable(client).isEmpty() ? client : QString();
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), QStringLiteral("import ") + client});
    const bool ok = python.waitForFinished(10000) && python.exitStatus() == QProcess::NormalExit &&
                    python.exitCode() == 0;
    return ok ? QString() : QStringLiteral("python3 module ") + client;
}

QStringList mbpoll(const QStringList &args)
{
    return QStringLiteral("mbpoll -m rtu -b 9600 -P none -o 1").split(' ') + args;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class ClientsTest : public QObject
{
    Q_OBJECT

private slots:
    void clientAnswersOnALineOfModules_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QList<Step>>("steps");
        // Module 01 reads in mV in both registers, sampled by the one request.
        QTest::newRow("mbpoll")
            << QStringLiteral("mbpoll")
            << QList<Step>{
                   {mbpoll({"-a", "1,2", "-t", "3", "-r", "1", "-c", "2", "-1", "PORT"}),
                    R"(Polling slave 1\.\.\.\s*\[1\]:\s+(-?\d+)\s*\[2\]:\s+\1\s*)"
                    R"(-- Polling slave 2\.\.\.\s*\[1\]:\s+-?\d+\s*\[2\]:\s+-?\d+)"},
                   {mbpoll({"-a", "2", "-t", "4", "-r", "3", "PORT", "0"}),
                    R"(Written 1 reference)"},
                   {mbpoll({"-a", "2", "-t", "4", "-r", "1", "-c", "4", "-1", "PORT"}),
                    R"(\[1\]:\s+2\s*\[2\]:\s+6\s*\[3\]:\s+0\s*\[4\]:\s+1\s)"},
               };
        // Input registers, then the holding registers after module 01's format is set to 1.
        QTest::newRow("pymodbus") << QStringLiteral("pymodbus")
                                  << QList<Step>{
                                         {{kPython, CLIENTS_DIR "/modbus_master.py", "PORT", "1",
                                           "2", "--write", "1", "2", "1"},
                                          R"(^1: \d+ \d+ \| 1 6 1 1\n2: \d+ \d+ \| 2 6 2 1\n$)"}};
        // The character module answers; a MODBUS module stays silent to a text command.
        QTest::newRow("pyserial") << QStringLiteral("serial")
                                  << QList<Step>{{{kPython, CLIENTS_DIR "/text_master.py", "PORT",
                                                   "#03", "#01"},
                                                  R"(^'>[+-]\d\d\.\d{3}\\r'\n''\n$)"}};
    }

    void clientAnswersOnALineOfModules()
    {
        QFETCH(QString, client);
        QFETCH(QList<Step>, steps);
        const QString absent = missing(client);
        if (!absent.isEmpty()) {
            // CI installs every client: there a missing one is a fault, not a reason to skip.
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                QFAIL(qPrintable(absent + QStringLiteral(" is not installed")));
            QSKIP(qPrintable(absent + QStringLiteral(" is not installed")));
        }

        QTemporaryDir config;
        QVERIFY(config.isValid());
        // Modules 01 and 02 speak MODBUS RTU, 03 the character protocol, on the same line.
        SimProcess sim(config.path(), {"--module", "01,modbus", "--module", "02,modbus,format=02",
                                       "--module", "03"});
        QVERIFY(sim.readBanner());
        for (const Step &step : steps) {
            QStringList args = step.command;
            args.replaceInStrings(QRegularExpression(QStringLiteral("^PORT$")), sim.slavePath());
            QProcess process;
            process.start(args.takeFirst(), args);
            QVERIFY2(process.waitForFinished(20000), qPrintable(step.command.join(' ')));
            const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
            const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
            QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                     qPrintable(step.command.join(' ') + '\n' + output + errors));
            const QRegularExpression expected(step.expected);
            QVERIFY2(expected.match(output).hasMatch(),
                     qPrintable(step.command.join(' ') + QStringLiteral("\nexpected: ") +
                                step.expected + QStringLiteral("\ngot:\n") + output + errors));
        }
    }
};

QTEST_GUILESS_MAIN(ClientsTest)
#include "ClientsTest.moc"
