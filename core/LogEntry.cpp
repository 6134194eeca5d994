#include "core/LogEntry.h"

QString logEntry(const QString &dateTime, const QString &command, const QString &response)
{
    return dateTime + QStringLiteral("   Command:") + command + QStringLiteral("   Response:") +
           response + QStringLiteral("\r\n");
}
