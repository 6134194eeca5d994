#include "core/CodeTables.h"

#include <array>
#include <utility>

namespace {

using Row = std::pair<const char16_t *, const char *>;

const std::array<Row, 10> baudRows{{{u"300", "01"},
                                    {u"600", "02"},
                                    {u"1200", "03"},
                                    {u"2400", "04"},
                                    {u"4800", "05"},
                                    {u"9600", "06"},
                                    {u"19200", "07"},
                                    {u"38400", "08"},
                                    {u"57600", "09"},
                                    {u"115200", "0A"}}};

const std::array<Row, 3> formatRows{
    {{u"工程单位", "00"}, {u"满刻度的百分比", "01"}, {u"16进制的补码", "02"}}};

const std::array<Row, 2> protocolRows{{{u"字符通讯协议", "0"}, {u"MODBUS RTU", "1"}}};

template<std::size_t N>
QStringList entriesOf(const std::array<Row, N> &rows)
{
    QStringList entries;
    for (const Row &row : rows)
        entries << QString::fromUtf16(row.first);
    return entries;
}

// Whole text, exact and case-sensitive.
template<std::size_t N>
QString codeFor(const std::array<Row, N> &rows, const QString &text, const char *fallback)
{
    for (const Row &row : rows) {
        if (text == QString::fromUtf16(row.first))
            return QString::fromLatin1(row.second);
    }
    return QString::fromLatin1(fallback);
}

} // namespace

QStringList comEntries()
{
    QStringList entries;
    for (int n = 1; n <= 20; ++n)
        entries << QStringLiteral("COM%1").arg(n);
    return entries;
}

QStringList baudRateEntries()
{
    return entriesOf(baudRows);
}
QStringList formatEntries()
{
    return entriesOf(formatRows);
}
QStringList protocolEntries()
{
    return entriesOf(protocolRows);
}

std::int16_t portNumberFor(const QString &comText)
{
    for (std::int16_t n = 1; n <= 20; ++n) {
        if (comText == QStringLiteral("COM%1").arg(n))
            return n;
    }
    return 1;
}

QString baudCodeFor(const QString &baudText)
{
    return codeFor(baudRows, baudText, "06");
}
QString formatCodeFor(const QString &formatText)
{
    return codeFor(formatRows, formatText, "00");
}
QString protocolCodeFor(const QString &protocolText)
{
    return codeFor(protocolRows, protocolText, "0");
}
