// The interval box's number, for any text an operator can type.
#include "FuzzCheck.h"

#include "core/LeadingNumber.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

bool isDigitAt(const QString &text, qsizetype i)
{
    return i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Text the C library reads as the box does: printable ASCII and tabs, with no hex, infinity or
// NaN spelling, so strtod's extra forms never apply.
bool plainDecimal(const QString &text)
{
    for (const QChar c : text) {
        if (c != u'\t' && (c < u' ' || c > u'~'))
            return false;
        if (QStringLiteral("xXiInN").contains(c))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const double value = leadingNumber(text);
    FUZZ_CHECK(std::isfinite(value));

    // A number is blanks, a sign, then a digit or a point and a digit; anything else is 0.
    qsizetype i = 0;
    while (i < text.size() && isBlank(text.at(i)))
        ++i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    const bool startsNumber =
        isDigitAt(text, i) || (i < text.size() && text.at(i) == u'.' && isDigitAt(text, i + 1));
    if (!startsNumber)
        FUZZ_CHECK(value == 0);

    // Blanks before the text and junk after it change nothing; a sign in front negates.
    FUZZ_CHECK(leadingNumber(QStringLiteral(" \t") + text) == value);
    FUZZ_CHECK(leadingNumber(text + QStringLiteral("x9")) == value);
    if (!text.isEmpty() && !isBlank(text.front()) && text.front() != u'+' && text.front() != u'-') {
        FUZZ_CHECK(leadingNumber(QStringLiteral("-") + text) == -value);
        FUZZ_CHECK(leadingNumber(QStringLiteral("+") + text) == value);
    }

    // Where the C library reads the number without a range error, the values agree.
    if (plainDecimal(text)) {
        const QByteArray ascii = text.toLatin1();
        errno = 0;
        const double expected = std::strtod(ascii.constData(), nullptr);
        if (errno == 0 && std::isfinite(expected))
            FUZZ_CHECK(value == expected);
    }
    return 0;
}
