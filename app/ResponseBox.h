#pragma once

#include "app/TextPane.h"
#include "app/TextRows.h"

#include <vector>

// A text wrapped at the width of a view, a row per piece.
class WrappedText : public TextRows
{
public:
    void wrap(const QString &text, const CharWidths &widths, qreal width);
    const QString &text() const { return m_text; }

    qint64 rowCount() const override { return qint64(m_rows.size()); }
    QString row(qint64 index) const override;
    bool breaksAfter(qint64 index) const override { return m_rows[std::size_t(index)].hardBreak; }

private:
    struct Row
    {
        qsizetype start;
        qsizetype length;
        bool hardBreak; // a line break follows, not a wrap
    };
    QString m_text;
    std::vector<Row> m_rows;
};

// The response box: the whole reply, wrapped, scrollable and selectable. Only the rows in view
// are drawn, so a flood of a few hundred kilobytes shows without stalling the window.
class ResponseBox : public TextPane
{
    Q_OBJECT
public:
    explicit ResponseBox(QWidget *parent = nullptr);

    void setText(const QString &shown);
    QString text() const { return m_wrapped.text(); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rewrap();

    WrappedText m_wrapped;
    qreal m_wrappedAt = 0;
};
