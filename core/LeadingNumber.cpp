#include "core/LeadingNumber.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

qsizetype skipDigits(const QString &text, qsizetype i)
{
    while (i < text.size() && isDigit(text.at(i)))
        ++i;
    return i;
}

} // namespace

double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    const qsizetype intStart = i;
    i = skipDigits(text, i);
    bool anyDigit = i > intStart;
    if (i < text.size() && text.at(i) == u'.') {
        const qsizetype fracStart = i + 1;
        const qsizetype fracEnd = skipDigits(text, fracStart);
        if (anyDigit || fracEnd > fracStart) {
            anyDigit = true;
            i = fracEnd;
        }
    }
    if (!anyDigit)
        return 0;
    // An exponent counts only when digits follow it: "1e" is 1.
    if (i < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        const qsizetype expEnd = skipDigits(text, j);
        if (expEnd > j)
            i = expEnd;
    }
    // from_chars reads the C locale's form whatever the host's locale, but takes no '+'.
    QByteArray number = text.mid(start, i - start).toLatin1();
    if (number.startsWith('+'))
        number.remove(0, 1);
    double value = 0;
    const auto [end, error] =
        std::from_chars(number.constData(), number.constData() + number.size(), value);
    const bool whole = error == std::errc() && end == number.constData() + number.size();
    return whole && std::isfinite(value) ? value : 0;
}
