#pragma once

#include <QByteArray>

#include <regex>
#include <string>

// Whether the whole text matches the regular expression.
inline bool matches(const std::string &text, const std::string &pattern)
{
    return std::regex_match(text, std::regex(pattern));
}

inline bool matches(const QByteArray &text, const std::string &pattern)
{
    return matches(text.toStdString(), pattern);
}
