#include "core/DisplayText.h"

#include <array>

namespace {

// ASCII names, so the stand-ins show in any font.
constexpr std::array<const char *, 32> controlNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

void appendStandIn(QString &out, const QString &name)
{
    out += u'<';
    out += name;
    out += u'>';
}

} // namespace

QString displayText(const QString &exact)
{
    QString out;
    out.reserve(exact.size() + 8);
    for (qsizetype i = 0; i < exact.size(); ++i) {
        const char16_t c = exact.at(i).unicode();
        const bool crLf = c == u'\r' && i + 1 < exact.size() && exact.at(i + 1) == u'\n';
        if (crLf) {
            out += u'\n';
            ++i;
        } else if (c < 0x20) {
            appendStandIn(out, QString::fromLatin1(controlNames[c]));
        } else if (c == 0x7F) {
            appendStandIn(out, QStringLiteral("DEL"));
        } else if ((c >= 0x80 && c <= 0xA0) || c == 0xAD) {
            // C1 controls draw as nothing; no-break space and soft hyphen pass for others.
            appendStandIn(out, QString::number(c, 16).toUpper());
        } else {
            out += QChar(c);
        }
    }
    return out;
}
