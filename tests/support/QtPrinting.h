#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable gtest messages and values for Qt strings.
inline std::ostream &operator<<(std::ostream &out, const QString &text)
{
    return out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << "\"" << bytes.toPercentEncoding(" #+.:/").toStdString() << "\"";
}
