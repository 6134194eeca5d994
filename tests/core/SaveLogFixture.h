#pragma once

#include "CoreFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    // Hidden ones too: a temporary file left beside the target is a fault wherever it hides.
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    // What a save writes: the whole log, then CR LF.
    QByteArray wholeLog() const { return (log.text() + "\r\n").toUtf8(); }
    void send(const char *command, const QByteArray &reply)
    {
        window.command = QString::fromUtf8(command);
        port.reads = 0;
        port.arrive = {{1, reply}};
        ops.SendCommand();
    }
    // One message, naming the file as the system writes paths and giving the system's reason.
    void expectOneMessage(const QString &target, const QString &reason) const
    {
        ASSERT_EQ(messages.size(), 1);
        const QString &message = messages.first();
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(target))) << message.toStdString();
        EXPECT_TRUE(message.contains(reason, Qt::CaseInsensitive)) << message.toStdString();
    }

    QTemporaryDir dir;
    std::optional<QString> dialogAnswer;
    QStringList filters, messages;
};

// A target a save cannot write, made in `folder` by `target`, and the system's words for why;
// `target` gives an empty path where this system cannot make such a target, for the reason in
// `unmade`. The rows are each platform's own.
struct SaveFailure
{
    const char *name;
    QString (*target)(const QString &folder);
    QString reason;
    const char *unmade = "";
};

class SaveFails : public SaveLogTest, public ::testing::WithParamInterface<SaveFailure>
{
};
