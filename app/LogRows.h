#pragma once

#include "app/TextRows.h"
#include "core/DisplayText.h"
#include "core/LogModel.h"

// The log's lines as rows, drawn from its store: the view keeps no copy of the log.
class LogRows : public TextRows
{
public:
    explicit LogRows(const LogModel &log)
        : m_log(log)
    {}

    qint64 rowCount() const override { return m_log.lineCount(); }
    QString row(qint64 index) const override
    {
        QByteArray shown;
        m_log.appendShownLines(shown, index, index);
        return textFromUtf8(shown);
    }
    void appendRows(QByteArray &out, qint64 first, qint64 last) const override
    {
        m_log.appendShownLines(out, first, last);
    }

private:
    const LogModel &m_log;
};
