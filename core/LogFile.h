#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes as the whole content of a file. A regular file (or a new one) is replaced only
// once the new content is safely written, so a failure part way leaves the old file as it
// was. Anything else (a device, a FIFO) is written in place and never replaced. Returns the
// system's reason on failure, an empty string on success.
QString writeWholeFile(const QString &path, const QByteArray &bytes);
