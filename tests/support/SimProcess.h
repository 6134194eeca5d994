#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// tolvane-sim as a child process with XDG_CONFIG_HOME pointing at a test's own directory.
class SimProcess
{
public:
    SimProcess(const QString &configHome, const QStringList &args);
    ~SimProcess();

    // Reads the banner "tolvane-sim: COM<n> -> /dev/pts/<m>"; false if none came in time.
    bool readBanner();
    int com() const { return m_com; }
    const QString &slavePath() const { return m_slavePath; }
    qint64 pid() const { return m_process.processId(); }

    // Exit status; -1 if it is still running after the timeout or died of a signal.
    int waitExit();
    int stopWith(int signal);
    QString stderrText() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QString m_slavePath;
    int m_com = 0;
};
