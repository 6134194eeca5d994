#include "core/DisplayText.h"

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
            out += QChar(char16_t(0x2400 + c)); // control pictures: U+2400 is NUL
        } else if (c == 0x7F) {
            out += QChar(char16_t(0x2421));
        } else if ((c >= 0x80 && c <= 0xA0) || c == 0xAD) {
            // C1 controls draw as nothing; no-break space and soft hyphen pass for others.
            out += u'<';
            out += QString::number(c, 16).toUpper();
            out += u'>';
        } else {
            out += QChar(c);
        }
    }
    return out;
}
