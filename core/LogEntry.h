#pragma once

#include <QString>

// One entry of the log, as the log file holds it: the date and time, "   Command:", the command as
// it went out, "   Response:", the reply exactly as received, CR LF.
QString logEntry(const QString &dateTime, const QString &command, const QString &response);
