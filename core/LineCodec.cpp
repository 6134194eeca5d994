#include "core/LineCodec.h"

QByteArray toLineBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(c.unicode() <= 0xFF ? char(c.unicode()) : '?');
    return bytes;
}

QString fromLineBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}
