#include "core/LogModel.h"

#include "core/DisplayText.h"

#include <algorithm>
#include <cstring>

namespace {

// Small entries share blocks of this size; a larger one gets a block of its own, so a block
// never wastes more than a small entry's worth at its end.
constexpr qsizetype BlockSize = qsizetype(1) << 20;
constexpr qsizetype OwnBlockFrom = BlockSize / 16;

qint64 crLfCount(const char *bytes, qsizetype size)
{
    qint64 count = 0;
    const char *end = bytes + size;
    for (const char *p = bytes; p < end;) {
        p = static_cast<const char *>(std::memchr(p, '\r', std::size_t(end - p)));
        if (!p)
            break;
        ++p;
        if (p < end && *p == '\n')
            ++count;
    }
    return count;
}

// Start of the line after `line` CR LF pairs, and its length up to the next CR LF (or the end).
std::pair<qsizetype, qsizetype> lineSpan(const char *bytes, qsizetype size, qint64 line)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i + 1 < size && line > 0; ++i) {
        if (bytes[i] == '\r' && bytes[i + 1] == '\n') {
            --line;
            start = i + 2;
            ++i;
        }
    }
    qsizetype end = start;
    while (end < size && !(bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n'))
        ++end;
    return {start, end - start};
}

} // namespace

LogModel::LogModel() = default;
LogModel::~LogModel() = default;

char *LogModel::place(qsizetype size, quint32 &block, quint32 &offset)
{
    if (size >= OwnBlockFrom) {
        m_blocks.push_back(std::make_unique<char[]>(std::size_t(size)));
        block = quint32(m_blocks.size() - 1);
        offset = 0;
        return m_blocks.back().get();
    }
    if (m_fillCapacity - m_fillUsed < size) {
        // make_unique_for_overwrite would do; new char[] leaves the pages untouched until used.
        m_blocks.emplace_back(new char[std::size_t(BlockSize)]);
        m_fillBlock = m_blocks.size() - 1;
        m_fillUsed = 0;
        m_fillCapacity = BlockSize;
    }
    block = quint32(m_fillBlock);
    offset = quint32(m_fillUsed);
    m_fillUsed += size;
    return m_blocks[m_fillBlock].get() + offset;
}

void LogModel::prepend(const QString &entry)
{
    const QByteArray utf8 = entry.toUtf8();
    Entry record{m_lineCount, 0, 0, quint32(utf8.size())};
    char *at = place(utf8.size(), record.block, record.offset);
    std::memcpy(at, utf8.constData(), std::size_t(utf8.size()));
    m_entries.push_back(record);
    m_lineCount += crLfCount(utf8.constData(), utf8.size());
    m_bytes += utf8.size();
}

LogModel::Piece LogModel::bytesOf(const Entry &entry) const
{
    return {m_blocks[entry.block].get() + entry.offset, qsizetype(entry.size)};
}

QString LogModel::text() const
{
    QByteArray all;
    all.reserve(m_bytes);
    forEachPiece([&all](const char *bytes, qsizetype size) {
        all.append(bytes, size);
        return true;
    });
    return QString::fromUtf8(all);
}

QString LogModel::entry(std::size_t fromTop) const
{
    const Piece piece = bytesOf(m_entries[m_entries.size() - 1 - fromTop]);
    return QString::fromUtf8(piece.bytes, piece.size);
}

bool LogModel::forEachPiece(const ByteSink &take) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        const Piece piece = bytesOf(*it);
        if (!take(piece.bytes, piece.size))
            return false;
    }
    return true;
}

// Counted from the bottom, the log's lines run oldest entry first, so an entry's first line
// from the bottom is the number of lines below it.
std::size_t LogModel::entryIndexOfLine(qint64 fromTop) const
{
    const qint64 fromBottom = m_lineCount - 1 - fromTop;
    const auto after =
        std::upper_bound(m_entries.begin(), m_entries.end(), fromBottom,
                         [](qint64 line, const Entry &entry) { return line < entry.linesBelow; });
    return std::size_t(after - m_entries.begin()) - 1;
}

LogModel::Piece LogModel::lineBytes(qint64 fromTop) const
{
    const std::size_t index = entryIndexOfLine(fromTop);
    const Entry &entry = m_entries[index];
    const qint64 linesAbove =
        index + 1 < m_entries.size() ? m_lineCount - m_entries[index + 1].linesBelow : 0;
    const Piece piece = bytesOf(entry);
    const auto [start, length] = lineSpan(piece.bytes, piece.size, fromTop - linesAbove);
    return {piece.bytes + start, length};
}

void LogModel::appendShownLines(QByteArray &out, qint64 first, qint64 last) const
{
    first = std::max<qint64>(first, 0);
    last = std::min(last, m_lineCount - 1);
    if (first > last)
        return;
    // From the start of the first line to the end of the last, entry by entry, newest first.
    const Piece firstLine = lineBytes(first);
    const Piece lastLine = lineBytes(last);
    const std::size_t firstEntry = entryIndexOfLine(first);
    const std::size_t lastEntry = entryIndexOfLine(last);
    // One allocation for the whole run, with room for the longest showing; the pages a copy never
    // writes to are never touched, so the room costs address space, not memory.
    qsizetype bytes = 0;
    for (std::size_t index = lastEntry; index <= firstEntry; ++index)
        bytes += m_entries[index].size;
    const qsizetype start = out.size();
    out.resize(start + bytes * MostShownPerByte);
    char *to = out.data() + start;
    for (std::size_t index = firstEntry + 1; index-- > lastEntry;) {
        const Piece piece = bytesOf(m_entries[index]);
        const char *from = index == firstEntry ? firstLine.bytes : piece.bytes;
        const char *until =
            index == lastEntry ? lastLine.bytes + lastLine.size : piece.bytes + piece.size;
        to = writeDisplayUtf8(to, from, until - from);
    }
    out.resize(to - out.constData());
}
