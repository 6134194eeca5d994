// Closing the window ends the process at once, from anywhere: exit status 0, no byte on the line
// after the close, the port's lock file gone.
#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Lock files of serial ports whose first line names the given process.
QStringList locksHeldBy(qint64 pid)
{
    QStringList held;
    for (const char *folder : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"}) {
        const QDir dir(QString::fromLatin1(folder));
        for (const QString &name : dir.entryList({QStringLiteral("LCK..*")}, QDir::Files)) {
            QFile lock(dir.filePath(name));
            if (lock.open(QIODevice::ReadOnly) && lock.readLine().trimmed().toLongLong() == pid)
                held << lock.fileName();
        }
    }
    return held;
}

} // namespace

class ShutdownTest : public QObject
{
    Q_OBJECT

private slots:
    void closingEndsTheProcessAtOnce_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("closeAfterMs");
        QTest::addColumn<bool>("answer");
        QTest::newRow("idle with the port open") << "idle" << 200 << true;
        QTest::newRow("inside a reply wait") << "wait" << 100 << false;
        QTest::newRow("inside a repeat run") << "repeat" << 900 << true;
    }

    void closingEndsTheProcessAtOnce()
    {
        QFETCH(QString, scenario);
        QFETCH(int, closeAfterMs);
        QFETCH(bool, answer);

        QTemporaryDir config;
        // The module's trace has a line for each command that reached it.
        const QString trace = config.filePath(QStringLiteral("trace.log"));
        QStringList options{QStringLiteral("--trace"), trace};
        if (!answer)
            options << QStringLiteral("--silent");
        SimProcess sim(config.path(), options);
        QVERIFY(sim.readBanner());

        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(SHUTDOWN_HARNESS), {scenario, QString::number(closeAfterMs)});
        QVERIFY(tool.waitForStarted());

        // While it runs, it holds the port's lock.
        QTRY_VERIFY_WITH_TIMEOUT(!locksHeldBy(tool.processId()).isEmpty(), 5000);
        const qint64 pid = tool.processId();

        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        const QByteArray output = tool.readAllStandardOutput();
        QVERIFY2(!output.contains("still running"), output.constData());
        QVERIFY2(output.startsWith("commands "), output.constData());
        const int sentBeforeClose = output.mid(9).trimmed().toInt();

        QTest::qWait(400);
        QFile received(trace);
        QVERIFY(received.open(QIODevice::ReadOnly));
        QCOMPARE(int(received.readAll().count('\n')), sentBeforeClose);
        if (scenario == QStringLiteral("repeat"))
            QVERIFY(sentBeforeClose >= 2);
        QCOMPARE(locksHeldBy(pid), QStringList());
    }
};

QTEST_GUILESS_MAIN(ShutdownTest)
#include "ShutdownTest.moc"
