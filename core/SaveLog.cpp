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
    // The whole log as UTF-8, newest entry first, then CR LF.
    const QString reason = writeWholeFile(*path, [this](const ByteSink &write) {
        return m_log.forEachPiece(write) && write("\r\n", 2);
    });
    if (!reason.isEmpty()) {
        m_messageBox(QStringLiteral("The log was not saved to %1: %2. The log in the window is "
                                    "unchanged.")
                         .arg(QDir::toNativeSeparators(*path), reason));
    }
}
