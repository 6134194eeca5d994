#pragma once

#include <QDateTime>
#include <QString>

// The host's general date form: its short date, a blank, its time with seconds.
QString generalDateTime(const QDateTime &moment);
