#include "core/DisplayText.h"

#include <array>

namespace {

// ASCII names, so the stand-ins show in any font.
constexpr std::array<const char *, 32> controlNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

void appendStandIn(QString &out, const char *name)
{
    out += u'<';
    out += QLatin1String(name);
    out += u'>';
}

// One character that is not part of a CR LF pair.
void appendShown(QString &out, char32_t c)
{
    if (c < 0x20) {
        appendStandIn(out, controlNames[c]);
    } else if (c == 0x7F) {
        appendStandIn(out, "DEL");
    } else if ((c >= 0x80 && c <= 0xA0) || c == 0xAD) {
        // C1 controls draw as nothing; no-break space and soft hyphen pass for others.
        const char hex[] = "0123456789ABCDEF";
        const char name[] = {hex[c >> 4], hex[c & 0xF], '\0'};
        appendStandIn(out, name);
    } else if (c > 0xFFFF) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

} // namespace

QString displayText(const QString &exact)
{
    QString out;
    out.reserve(exact.size() + 8);
    for (qsizetype i = 0; i < exact.size(); ++i) {
        const char16_t c = exact.at(i).unicode();
        if (c == u'\r' && i + 1 < exact.size() && exact.at(i + 1) == u'\n') {
            out += u'\n';
            ++i;
        } else {
            appendShown(out, c);
        }
    }
    return out;
}

void appendDisplayText(QString &out, const char *utf8, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    const unsigned char *const end = p + size;
    while (p < end) {
        const unsigned char b = *p;
        // Printable ASCII is nearly all of a log: take each run of it in one step.
        if (b >= 0x20 && b < 0x7F) {
            const unsigned char *run = p;
            while (run < end && *run >= 0x20 && *run < 0x7F)
                ++run;
            out += QLatin1String(reinterpret_cast<const char *>(p), run - p);
            p = run;
            continue;
        }
        if (b == '\r' && p + 1 < end && p[1] == '\n') {
            out += u'\n';
            p += 2;
            continue;
        }
        char32_t c = b;
        int follow = 0;
        if (b >= 0xF0) {
            c = b & 0x07;
            follow = 3;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            follow = 2;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            follow = 1;
        }
        // The store writes only well-formed UTF-8; a cut sequence at the end shows what it has.
        for (; follow > 0 && p + 1 < end; --follow)
            c = (c << 6) | (*++p & 0x3F);
        ++p;
        appendShown(out, c);
    }
}
