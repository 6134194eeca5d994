#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Readable gtest messages and values for Qt strings.
inline std::ostream &operator<<(std::ostream &out, const QString &text)
{
    return out << '"' << text.toStdString() << '"';
}

// gtest would print a QString as a container of characters.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << text;
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << "\"" << bytes.toPercentEncoding(" #+.:/").toStdString() << "\"";
}
