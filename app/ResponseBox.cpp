#include "app/ResponseBox.h"

#include <QEvent>

void WrappedText::wrap(const QString &text, const CharWidths &widths, qreal width)
{
    m_text = text;
    m_rows.clear();
    if (text.isEmpty())
        return;
    qsizetype start = 0;
    qreal x = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n') {
            m_rows.push_back({start, i - start, true});
            start = i + 1;
            x = 0;
            continue;
        }
        const qreal advance = widths.advance(text.at(i));
        // Break before a character that would cross the edge; a row holds one at least.
        if (x + advance > width && i > start) {
            m_rows.push_back({start, i - start, false});
            start = i;
            x = 0;
        }
        x += advance;
    }
    m_rows.push_back({start, text.size() - start, true});
}

QString WrappedText::row(qint64 index) const
{
    const Row &row = m_rows[std::size_t(index)];
    return m_text.mid(row.start, row.length);
}

ResponseBox::ResponseBox(QWidget *parent)
    : TextPane(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContextMenuEnabled(true);
}

void ResponseBox::setText(const QString &shown)
{
    m_wrappedAt = viewport()->width() - 8;
    m_wrapped.wrap(shown, widths(), m_wrappedAt);
    setRows(&m_wrapped);
}

void ResponseBox::rewrap()
{
    if (viewport()->width() - 8 != m_wrappedAt)
        setText(m_wrapped.text());
}

void ResponseBox::resizeEvent(QResizeEvent *event)
{
    TextPane::resizeEvent(event);
    rewrap();
}

void ResponseBox::changeEvent(QEvent *event)
{
    TextPane::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        setText(m_wrapped.text());
    }
}
