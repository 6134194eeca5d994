#pragma once

#include <QByteArray>

#include <cctype>
#include <string_view>

// Whether text has the given shape, character by character: "\d" a decimal digit, "\x" an
// upper-case hex digit, "\s" a sign (+ or -), "\r" a carriage return, "\\" a backslash, "*"
// any run of characters (none included); every other character stands for itself.
// So ">\s\d\d.\d\d\d\r" is an engineering reading.
inline bool hasShape(std::string_view text, std::string_view shape)
{
    while (!shape.empty()) {
        if (shape.front() == '*') {
            shape.remove_prefix(1);
            for (std::size_t skip = 0; skip <= text.size(); ++skip) {
                if (hasShape(text.substr(skip), shape))
                    return true;
            }
            return false;
        }
        if (text.empty())
            return false;
        const unsigned char c = static_cast<unsigned char>(text.front());
        bool ok = false;
        if (shape.front() == '\\' && shape.size() >= 2) {
            switch (shape[1]) {
            case 'd':
                ok = std::isdigit(c);
                break;
            case 'x':
                ok = std::isdigit(c) || (c >= 'A' && c <= 'F');
                break;
            case 's':
                ok = c == '+' || c == '-';
                break;
            case 'r':
                ok = c == '\r';
                break;
            default:
                ok = c == static_cast<unsigned char>(shape[1]);
                break;
            }
            shape.remove_prefix(2);
        } else {
            ok = c == static_cast<unsigned char>(shape.front());
            shape.remove_prefix(1);
        }
        if (!ok)
            return false;
        text.remove_prefix(1);
    }
    return text.empty();
}

inline bool hasShape(const QByteArray &text, std::string_view shape)
{
    return hasShape(std::string_view(text.constData(), std::size_t(text.size())), shape);
}
