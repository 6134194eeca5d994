// The real program, started as a desktop starts it: its window appears on the display with its
// title and its fixed size. Needs Xvfb and xdotool (CI installs both).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class StartTest : public QObject
{
    Q_OBJECT

private slots:
    void theWindowAppearsWithItsTitleAndSize()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs Xvfb and xdotool");
        int number = 90;
        while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) && number < 140)
            ++number;
        const QString display = QStringLiteral(":%1").arg(number);
        QProcess server;
        server.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"),
                                              QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)),
                                 10000);

        QTemporaryDir config;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(TOLVANE_PATH), {});
        QVERIFY(tool.waitForStarted());

        auto xdotool = [&environment](const QStringList &arguments) {
            QProcess run;
            run.setProcessEnvironment(environment);
            run.start(QStringLiteral("xdotool"), arguments);
            run.waitForFinished(15000);
            return QString::fromLocal8Bit(run.readAllStandardOutput()).trimmed();
        };
        const QString window = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                        QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                        QString::number(tool.processId())})
                                   .section(u'\n', 0, 0);
        QVERIFY2(!window.isEmpty(), "no window of the program appeared");
        QCOMPARE(xdotool({QStringLiteral("getwindowname"), window}), QStringLiteral("Tolvane"));
        const QString geometry =
            xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        QVERIFY2(geometry.contains(QStringLiteral("WIDTH=843")) &&
                     geometry.contains(QStringLiteral("HEIGHT=583")),
                 qPrintable(geometry));

        tool.kill();
        tool.waitForFinished();
        server.terminate();
        server.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(StartTest)
#include "StartTest.moc"
