#pragma once

#include "CoreFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Save to file with the dialog and the message box answered by the test.
class SaveLogTest : public CoreTest
{
protected:
    SaveLogTest()
    {
        ops.setSaveDialog([this](const QString &filter) {
            filters << filter;
            return dialogAnswer;
        });
        ops.setMessageBox([this](const QString &message) { messages << message; });
    }
    QString pathOf(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void send(const char *command, const QByteArray &reply)
    {
        window.command = QString::fromUtf8(command);
        port.reads = 0;
        port.arrive = {{1, reply}};
        ops.SendCommand();
    }

    QTemporaryDir dir;
    std::optional<QString> dialogAnswer;
    QStringList filters, messages;
};
