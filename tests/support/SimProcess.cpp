#include "SimProcess.h"

#include <QRegularExpression>

#include <csignal>

SimProcess::SimProcess(const QString &configHome, const QStringList &args)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    m_process.setProcessEnvironment(environment);
    m_process.start(QStringLiteral(TOLVANE_SIM_PATH), args);
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool SimProcess::readBanner()
{
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000))
            return false;
    }
    static const QRegularExpression banner(
        QStringLiteral("^tolvane-sim: COM(\\d+) -> (/dev/pts/\\d+)\n$"));
    const QRegularExpressionMatch match =
        banner.match(QString::fromLocal8Bit(m_process.readLine()));
    m_com = match.captured(1).toInt();
    m_slavePath = match.captured(2);
    return match.hasMatch();
}

int SimProcess::waitExit()
{
    if (!m_process.waitForFinished(5000) && m_process.state() != QProcess::NotRunning)
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int SimProcess::stopWith(int signal)
{
    ::kill(m_process.processId(), signal);
    return waitExit();
}
