// The real program, started as a desktop starts it: its window appears on the display with its
// title and its fixed size. Needs Xvfb and xdotool (CI installs both).
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
        // Xvfb picks a free display and prints its number once it takes connections.
        QProcess server;
        server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForReadyRead(10000));
        const QString display = ':' + QString::fromLatin1(server.readLine().trimmed());

        QTemporaryDir config;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(TOLVANE_PATH), {});
        QVERIFY(tool.waitForStarted());

        // The window of that process, visible, with that title: waits until there is one.
        QProcess xdotool;
        xdotool.setProcessEnvironment(environment);
        xdotool.start(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--all"),
                       QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                       QString::number(tool.processId()), QStringLiteral("--name"),
                       QStringLiteral("^Tolvane$"), QStringLiteral("getwindowgeometry"),
                       QStringLiteral("--shell")});
        QVERIFY2(xdotool.waitForFinished(15000), "no window titled Tolvane appeared");
        const QString geometry = QString::fromLocal8Bit(xdotool.readAllStandardOutput());
        QVERIFY2(geometry.contains(QStringLiteral("WIDTH=843\nHEIGHT=583\n")),
                 qPrintable(geometry));

        tool.kill();
        tool.waitForFinished();
        server.terminate();
        server.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(StartTest)
#include "StartTest.moc"
