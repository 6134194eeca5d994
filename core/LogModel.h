#pragma once

#include "core/ByteSink.h"

#include <QString>

#include <deque>
#include <memory>
#include <vector>

// The log's exact text, newest entry first, kept compactly for runs of millions of entries: the
// entries' UTF-8 bytes packed in large blocks, and a small index record per entry. Adding an
// entry costs its own size whatever the log holds; the whole text is built only when asked.
//
// Lines are the log as a view shows it: every CR LF ends one, so an entry is one line or more.
// Line 0 is the first line of the newest entry.
class LogModel
{
public:
    LogModel();
    ~LogModel();
    LogModel(const LogModel &) = delete;
    LogModel &operator=(const LogModel &) = delete;

    void prepend(const QString &entry);

    std::size_t entryCount() const { return m_entries.size(); }
    qint64 lineCount() const { return m_lineCount; }

    // The exact text, newest entry first.
    QString text() const;
    QString entry(std::size_t fromTop) const;
    // What a view shows for lines first..last, each but the last followed by '\n', as UTF-8.
    void appendShownLines(QByteArray &out, qint64 first, qint64 last) const;

    // The exact text as UTF-8, newest entry first, handed over in pieces; stops early, and returns
    // false, when `take` does.
    bool forEachPiece(const ByteSink &take) const;

private:
    struct Entry
    {
        qint64 linesBelow; // lines of all older entries
        quint32 block;
        quint32 offset;
        quint32 size;
    };
    struct Piece
    {
        const char *bytes;
        qsizetype size;
    };

    Piece bytesOf(const Entry &entry) const;
    std::size_t entryIndexOfLine(qint64 fromTop) const;
    Piece lineBytes(qint64 fromTop) const;
    char *place(qsizetype size, quint32 &block, quint32 &offset);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_fillBlock = 0; // the block that takes small entries
    qsizetype m_fillUsed = 0;
    qsizetype m_fillCapacity = 0;
    std::deque<Entry> m_entries; // oldest first: a new entry never moves the others
    qint64 m_lineCount = 0;
    qsizetype m_bytes = 0;
};
