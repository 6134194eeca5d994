#include "core/LogModel.h"

void LogModel::prepend(const QString &entry)
{
    m_entries.push_back(entry);
    m_length += entry.size();
}

QString LogModel::text() const
{
    QString all;
    all.reserve(m_length);
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        all += *it;
    return all;
}
