#include "core/Operations.h"

#include "core/LogFile.h"
#include "core/LogModel.h"

#include <QDir>

void Operations::SaveLog()
{
    // Cancel writes nothing, not even to a file named in an earlier dialog.
    const std::optional<QString> path = m_saveDialog(QStringLiteral("*.txt"));
    if (!path || path->isEmpty())
        return;
    const QByteArray bytes = (m_log.text() + QStringLiteral("\r\n")).toUtf8();
    const QString reason = writeWholeFile(*path, bytes);
    if (!reason.isEmpty()) {
        m_messageBox(QStringLiteral("The log was not saved to %1: %2. The log in the window is "
                                    "unchanged.")
                         .arg(QDir::toNativeSeparators(*path), reason));
    }
}
