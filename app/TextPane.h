#pragma once

#include "app/CharWidths.h"

#include <QAbstractScrollArea>

class TextRows;

// A read-only text view that draws only the rows on screen, straight from their source: showing
// a row costs the same whether the source holds ten rows or ten million. One row per line of
// the font; a row wider than the view scrolls sideways. Selection with the mouse (across rows)
// or Ctrl+A, copy with Ctrl+C or the context menu; the keyboard scrolls.
class TextPane : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TextPane(QWidget *parent = nullptr);

    // The rows to show; not owned. Shows them from the top, nothing selected.
    void setRows(const TextRows *rows);
    // The source has new rows on top of those it had: keep the operator's place and selection
    // where they were, unless the view was at the top, where the newest rows are shown.
    void rowsPrepended();

    void setContextMenuEnabled(bool enabled) { m_contextMenu = enabled; }
    bool contextMenuEnabled() const { return m_contextMenu; }

    bool hasSelection() const;
    QString selectedText() const;
    // What a copy puts on the clipboard, in UTF-8: half the memory of a QString for a big log.
    QByteArray selectedUtf8() const;
    void selectAll();
    void copy() const;

    qint64 firstVisibleRow() const;

protected:
    struct Position
    {
        qint64 row = 0;
        qsizetype column = 0;
        friend bool operator<(const Position &a, const Position &b)
        {
            return a.row < b.row || (a.row == b.row && a.column < b.column);
        }
    };

    // Everything the rows' size depends on changed: start over with what the source holds now.
    void reset();
    const CharWidths &widths() const { return m_widths; }
    int rowHeight() const;
    // Rows that fit the viewport entirely.
    int visibleRows() const;

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    void measure(qint64 first, qint64 count);
    Position positionAt(const QPoint &point) const;
    std::pair<Position, Position> ordered() const;
    void paintRow(QPainter &painter, qint64 row, int y) const;
    void copyToSelectionClipboard() const;

    const TextRows *m_rows = nullptr;
    CharWidths m_widths;
    qint64 m_knownRows = 0;
    qreal m_widest = 0;
    Position m_anchor;
    Position m_caret;
    bool m_selecting = false;
    bool m_contextMenu = false;
};
