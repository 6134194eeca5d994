#pragma once

#include <QString>

#include <vector>

// The log's exact text, newest entry first. Entries are kept in arrival order so that adding
// one costs its own size, not the size of the log; the whole text is built only when asked.
class LogModel
{
public:
    void prepend(const QString &entry);
    QString text() const;
    std::size_t entryCount() const { return m_entries.size(); }

private:
    std::vector<QString> m_entries; // oldest first
    qsizetype m_length = 0;
};
