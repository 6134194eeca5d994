#include "core/DisplayText.h"

#include <QStringDecoder>

#include <array>
#include <cstring>

namespace {

// ASCII names, so the stand-ins show in any font.
constexpr std::array<const char *, 32> controlNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

char *putStandIn(char *to, const char *name)
{
    *to++ = '<';
    while (*name)
        *to++ = *name++;
    *to++ = '>';
    return to;
}

// Bytes that show as themselves: printable ASCII.
constexpr std::array<bool, 256> plainBytes = [] {
    std::array<bool, 256> plain{};
    for (int b = 0x20; b < 0x7F; ++b)
        plain[std::size_t(b)] = true;
    return plain;
}();

// C1 controls draw as nothing; no-break space and soft hyphen pass for others.
bool showsAsHex(char32_t c)
{
    return (c >= 0x80 && c <= 0xA0) || c == 0xAD;
}

} // namespace

QString displayText(const QString &exact)
{
    const QByteArray utf8 = exact.toUtf8();
    QByteArray shown;
    appendDisplayUtf8(shown, utf8.constData(), utf8.size());
    return textFromUtf8(shown);
}

QString textFromUtf8(const QByteArray &utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

void appendDisplayUtf8(QByteArray &out, const char *utf8, qsizetype size)
{
    const qsizetype start = out.size();
    out.resize(start + size * MostShownPerByte);
    char *const end = writeDisplayUtf8(out.data() + start, utf8, size);
    out.resize(end - out.constData());
}

char *writeDisplayUtf8(char *to, const char *utf8, qsizetype size)
{
    const char *p = utf8;
    const char *const end = utf8 + size;
    while (p < end) {
        const auto b = static_cast<unsigned char>(*p);
        if (plainBytes[b]) {
            // Nearly all of a log: copy the whole run at once.
            const char *run = p + 1;
            while (run < end && plainBytes[static_cast<unsigned char>(*run)])
                ++run;
            std::memcpy(to, p, std::size_t(run - p));
            to += run - p;
            p = run;
        } else if (b == '\r' && p + 1 < end && p[1] == '\n') {
            *to++ = '\n';
            p += 2;
        } else if (b < 0x20) {
            to = putStandIn(to, controlNames[b]);
            ++p;
        } else if (b == 0x7F) {
            to = putStandIn(to, "DEL");
            ++p;
        } else {
            // A multi-byte character: copied as it is, unless it is one that shows as hex.
            const qsizetype length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            const qsizetype take = std::min<qsizetype>(length, end - p);
            char32_t c = length == 2 ? char32_t(b & 0x1F) : 0;
            if (length == 2 && take == 2)
                c = (c << 6) | (static_cast<unsigned char>(p[1]) & 0x3F);
            if (length == 2 && showsAsHex(c)) {
                const char hex[] = "0123456789ABCDEF";
                const char name[] = {hex[c >> 4], hex[c & 0xF], '\0'};
                to = putStandIn(to, name);
            } else {
                std::memcpy(to, p, std::size_t(take));
                to += take;
            }
            p += take;
        }
    }
    return to;
}
