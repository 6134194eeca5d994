#pragma once

#include <QByteArray>
#include <QString>

// The rows a TextPane shows, already as display text (stand-ins in place, no control characters).
// A row is one line, or a piece of a long line that was wrapped.
class TextRows
{
public:
    virtual ~TextRows() = default;

    virtual qint64 rowCount() const = 0;
    virtual QString row(qint64 index) const = 0;
    // A line break follows the row, unless the row is a wrapped piece of a longer line.
    virtual bool breaksAfter(qint64 index) const
    {
        Q_UNUSED(index);
        return true;
    }
    // Rows first..last as a copy gives them, in UTF-8: each followed by its break, but the last.
    virtual void appendRows(QByteArray &out, qint64 first, qint64 last) const
    {
        for (qint64 index = first; index <= last; ++index) {
            out += row(index).toUtf8();
            if (index < last && breaksAfter(index))
                out += '\n';
        }
    }
};
