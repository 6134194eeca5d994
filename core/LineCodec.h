#pragma once

#include <QByteArray>
#include <QString>

// Characters and line bytes map one to one as ISO 8859-1 (Latin-1): byte b is character U+00bb.
// Every reply byte 0x00-0xFF therefore survives as exactly one character. A command character
// beyond U+00FF has no byte and goes out as '?'.
QByteArray toLineBytes(const QString &text);
QString fromLineBytes(const QByteArray &bytes);
