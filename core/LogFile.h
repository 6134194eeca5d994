#pragma once

#include "core/ByteSink.h"

#include <QString>

// Writes a file's whole content. A regular file (or a new one) is replaced only once the new
// content is safely written, so a failure part way leaves the old file as it was. On Linux
// anything else (a device, a FIFO) is written in place and never replaced. Returns the system's
// reason on failure, an empty string on success. One implementation per platform.
//
// `content` hands the bytes over in pieces of any size through the function it is given, which
// returns false once writing has failed; `content` returns false when it stopped early.
using FileContent = std::function<bool(const ByteSink &write)>;
QString writeWholeFile(const QString &path, const FileContent &content);
