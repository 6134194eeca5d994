#include "core/CodeTables.h"

#include "core/ComLinks.h"
#include "core/ModuleCodes.h"

using namespace tolvane;

namespace {

template<typename Row, std::size_t N>
QStringList entriesOf(const Row (&rows)[N])
{
    QStringList entries;
    for (const auto &row : rows)
        entries << QString::fromUtf8(row.entry);
    return entries;
}

// Whole text, exact and case-sensitive.
template<typename Row, std::size_t N>
const Row *rowFor(const Row (&rows)[N], const QString &text)
{
    for (const auto &row : rows) {
        if (text == QString::fromUtf8(row.entry))
            return &row;
    }
    return nullptr;
}

// Any other text gets the first entry's code.
template<typename Row, std::size_t N>
QString codeFor(const Row (&rows)[N], const QString &text)
{
    const Row *row = rowFor(rows, text);
    return QString::fromLatin1((row ? *row : rows[0]).code);
}

QString comName(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

} // namespace

QStringList comEntries()
{
    QStringList entries;
    for (int n = kFirstCom; n <= kLastCom; ++n)
        entries << comName(n);
    return entries;
}

QStringList baudRateEntries()
{
    QStringList entries;
    for (const BaudRate &baud : kBaudRates)
        entries << QString::number(baud.rate);
    return entries;
}
QStringList formatEntries()
{
    return entriesOf(kDataFormats);
}
QStringList protocolEntries()
{
    return entriesOf(kProtocols);
}

QString entryMeaning(const QString &entryText)
{
    if (const auto *row = rowFor(kDataFormats, entryText))
        return QString::fromUtf8(row->meaning);
    if (const auto *row = rowFor(kProtocols, entryText))
        return QString::fromUtf8(row->meaning);
    return {};
}

std::int16_t portNumberFor(const QString &comText)
{
    for (std::int16_t n = kFirstCom; n <= kLastCom; ++n) {
        if (comText == comName(n))
            return n;
    }
    return 1;
}

QString baudCodeFor(const QString &baudText)
{
    for (const BaudRate &baud : kBaudRates) {
        if (baudText == QString::number(baud.rate))
            return QString::fromLatin1(baud.code);
    }
    return QString::fromLatin1(baudCode(kDefaultBaudRate));
}
QString formatCodeFor(const QString &formatText)
{
    return codeFor(kDataFormats, formatText);
}
QString protocolCodeFor(const QString &protocolText)
{
    return codeFor(kProtocols, protocolText);
}
