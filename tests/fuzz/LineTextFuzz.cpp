// The line codec and the display mapping, for any bytes a module sends and any text typed.
#include "FuzzCheck.h"

#include "core/DisplayText.h"
#include "core/LineCodec.h"

#include <cstdint>
#include <cstring>

namespace {

// Nothing shown draws as nothing or passes for another character, and only CR LF breaks a line.
void checkShown(const QString &exact)
{
    const QString shown = displayText(exact);
    const qsizetype crLfPairs = exact.count(QStringLiteral("\r\n"));
    for (const QChar c : shown) {
        const char16_t u = c.unicode();
        FUZZ_CHECK(u == u'\n' || u >= 0x20);
        FUZZ_CHECK(u != 0x7F && !(u >= 0x80 && u <= 0xA0) && u != 0xAD);
    }
    FUZZ_CHECK(shown.count(u'\n') == crLfPairs);
    // Each character shows as at least one, except a CR LF pair, which shows as one.
    FUZZ_CHECK(shown.size() >= exact.size() - crLfPairs);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // As reply bytes: each byte one character, and back to the same bytes.
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString reply = fromLineBytes(bytes);
    FUZZ_CHECK(reply.size() == bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        FUZZ_CHECK(reply.at(i).unicode() == static_cast<std::uint8_t>(bytes.at(i)));
    FUZZ_CHECK(toLineBytes(reply) == bytes);
    checkShown(reply);

    // As a typed command (UTF-16, any code unit): one byte per character, '?' beyond U+00FF.
    QString typed(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(typed.data(), data, size / 2 * sizeof(QChar));
    const QByteArray line = toLineBytes(typed);
    FUZZ_CHECK(line.size() == typed.size());
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const char16_t u = typed.at(i).unicode();
        FUZZ_CHECK(static_cast<std::uint8_t>(line.at(i)) == (u <= 0xFF ? u : u'?'));
    }
    checkShown(typed);
    return 0;
}
