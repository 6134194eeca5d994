#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <string>

// Whether the whole text matches the regular expression (Perl syntax; bytes taken as Latin-1).
inline bool matches(const QByteArray &text, const std::string &pattern)
{
    const QRegularExpression expression(
        QRegularExpression::anchoredPattern(QString::fromStdString(pattern)));
    return expression.match(QString::fromLatin1(text)).hasMatch();
}

inline bool matches(const std::string &text, const std::string &pattern)
{
    return matches(QByteArray::fromStdString(text), pattern);
}
