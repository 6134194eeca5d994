#include "app/TextPane.h"

#include "app/TextRows.h"
#include "core/DisplayText.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Margin = 3; // pixels of space left of the text

} // namespace

TextPane::TextPane(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_widths(font())
{
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void TextPane::setRows(const TextRows *rows)
{
    m_rows = rows;
    reset();
}

void TextPane::reset()
{
    m_knownRows = m_rows ? m_rows->rowCount() : 0;
    m_widest = 0;
    measure(0, m_knownRows);
    m_anchor = m_caret = Position();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void TextPane::rowsPrepended()
{
    const qint64 added = m_rows->rowCount() - m_knownRows;
    if (added <= 0)
        return;
    m_knownRows += added;
    measure(0, added);
    m_anchor.row += added;
    m_caret.row += added;
    const int top = verticalScrollBar()->value();
    updateScrollBars();
    if (top > 0)
        verticalScrollBar()->setValue(int(std::min<qint64>(top + added, INT_MAX)));
    viewport()->update();
}

void TextPane::measure(qint64 first, qint64 count)
{
    for (qint64 row = first; row < first + count; ++row)
        m_widest = std::max(m_widest, m_widths.width(m_rows->row(row)));
}

int TextPane::rowHeight() const
{
    return std::max(1, int(std::ceil(QFontMetricsF(m_widths.font()).lineSpacing())));
}

int TextPane::visibleRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

qint64 TextPane::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

void TextPane::updateScrollBars()
{
    const int page = visibleRows();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(m_knownRows - page, 0, INT_MAX)));
    const int room = viewport()->width() - 2 * Margin;
    horizontalScrollBar()->setPageStep(std::max(1, room));
    horizontalScrollBar()->setSingleStep(std::max(1, int(m_widths.advance(u'0') * 4)));
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(m_widest)) - room));
}

void TextPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextPane::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_widths = CharWidths(font());
        const Position anchor = m_anchor, caret = m_caret;
        reset();
        m_anchor = anchor;
        m_caret = caret;
    }
}

void TextPane::scrollContentsBy(int, int)
{
    viewport()->update();
}

std::pair<TextPane::Position, TextPane::Position> TextPane::ordered() const
{
    return m_caret < m_anchor ? std::make_pair(m_caret, m_anchor)
                              : std::make_pair(m_anchor, m_caret);
}

bool TextPane::hasSelection() const
{
    return m_anchor.row != m_caret.row || m_anchor.column != m_caret.column;
}

QString TextPane::selectedText() const
{
    return textFromUtf8(selectedUtf8());
}

QByteArray TextPane::selectedUtf8() const
{
    if (!m_rows || !hasSelection())
        return QByteArray();
    const auto [from, to] = ordered();
    if (from.row == to.row)
        return m_rows->row(from.row).mid(from.column, to.column - from.column).toUtf8();
    QByteArray text = m_rows->row(from.row).mid(from.column).toUtf8();
    if (m_rows->breaksAfter(from.row))
        text += '\n';
    if (to.row - from.row > 1) {
        m_rows->appendRows(text, from.row + 1, to.row - 1);
        if (m_rows->breaksAfter(to.row - 1))
            text += '\n';
    }
    text += m_rows->row(to.row).left(to.column).toUtf8();
    return text;
}

void TextPane::selectAll()
{
    if (!m_rows || m_knownRows == 0)
        return;
    m_anchor = Position();
    m_caret = Position{m_knownRows - 1, m_rows->row(m_knownRows - 1).size()};
    viewport()->update();
}

namespace {

// Plain text as UTF-8 bytes, which QMimeData turns into a QString only when a paste asks.
QMimeData *plainText(const QByteArray &utf8)
{
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), utf8);
    return data;
}

} // namespace

void TextPane::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setMimeData(plainText(selectedUtf8()));
}

void TextPane::copyToSelectionClipboard() const
{
    QClipboard *clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection() && hasSelection())
        clipboard->setMimeData(plainText(selectedUtf8()), QClipboard::Selection);
}

TextPane::Position TextPane::positionAt(const QPoint &point) const
{
    if (!m_rows || m_knownRows == 0)
        return Position();
    const qint64 row = std::clamp<qint64>(
        firstVisibleRow() + std::floor(point.y() / qreal(rowHeight())), 0, m_knownRows - 1);
    const QString text = m_rows->row(row);
    const qreal x = point.x() - Margin + horizontalScrollBar()->value();
    return Position{row, m_widths.columnAt(text, x)};
}

void TextPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_caret = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = m_caret;
    m_selecting = true;
    viewport()->update();
}

void TextPane::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting)
        return;
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls, so a selection can reach any row.
    if (point.y() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1 + point.y() / rowHeight());
    else if (point.y() >= viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1 +
                                      (point.y() - viewport()->height()) / rowHeight());
    m_caret = positionAt(point);
    viewport()->update();
}

void TextPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        copyToSelectionClipboard();
    }
}

// A double click selects the row under the pointer.
void TextPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_rows || m_knownRows == 0)
        return;
    const Position at = positionAt(event->position().toPoint());
    m_anchor = Position{at.row, 0};
    m_caret = Position{at.row, m_rows->row(at.row).size()};
    viewport()->update();
    copyToSelectionClipboard();
}

void TextPane::keyPressEvent(QKeyEvent *event)
{
    QScrollBar *vertical = verticalScrollBar();
    QScrollBar *horizontal = horizontalScrollBar();
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::MoveToStartOfDocument) {
        vertical->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event == QKeySequence::MoveToEndOfDocument) {
        vertical->triggerAction(QAbstractSlider::SliderToMaximum);
    } else if (event == QKeySequence::MoveToStartOfLine) {
        horizontal->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event == QKeySequence::MoveToEndOfLine) {
        horizontal->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        // Arrows and Page Up/Down scroll; everything else (Tab, typing) is not ours.
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TextPane::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_contextMenu) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("&Copy"), this, &TextPane::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction *all = menu.addAction(tr("Select &All"), this, &TextPane::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(m_knownRows > 0);
    menu.exec(event->globalPos());
}

void TextPane::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setFont(m_widths.font());
    if (!m_rows)
        return;
    const int height = rowHeight();
    const qint64 first = firstVisibleRow();
    const qint64 last = std::min(m_knownRows, first + viewport()->height() / height + 1);
    for (qint64 row = first; row < last; ++row)
        paintRow(painter, row, int(row - first) * height);
}

// Draws the part of the row that is in view, the selected columns highlighted.
void TextPane::paintRow(QPainter &painter, qint64 row, int y) const
{
    const QString text = m_rows->row(row);
    const qreal shift = horizontalScrollBar()->value() - Margin;
    const qreal right = shift + viewport()->width();
    qsizetype begin = 0;
    qreal x = 0;
    while (begin < text.size() && x + m_widths.advance(text.at(begin)) < shift)
        x += m_widths.advance(text.at(begin++));
    qsizetype end = begin;
    qreal endX = x;
    while (end < text.size() && endX < right)
        endX += m_widths.advance(text.at(end++));

    qsizetype selBegin = 0, selEnd = 0;
    bool selectedBreak = false;
    if (hasSelection()) {
        const auto [from, to] = ordered();
        if (row >= from.row && row <= to.row) {
            selBegin = row == from.row ? from.column : 0;
            selEnd = row == to.row ? to.column : text.size();
            selectedBreak = row < to.row;
        }
    }
    const QFontMetricsF metrics(m_widths.font());
    const qreal baseline = y + metrics.ascent();
    const QPalette &colors = palette();
    auto draw = [&](qsizetype from, qsizetype to, bool selected) {
        from = std::clamp(from, begin, end);
        to = std::clamp(to, begin, end);
        if (from >= to)
            return;
        const qreal left = x + m_widths.width(QStringView(text).mid(begin, from - begin)) - shift;
        const QStringView piece = QStringView(text).mid(from, to - from);
        if (selected) {
            painter.fillRect(QRectF(left, y, m_widths.width(piece), rowHeight()),
                             colors.brush(QPalette::Highlight));
            painter.setPen(colors.color(QPalette::HighlightedText));
        } else {
            painter.setPen(colors.color(QPalette::Text));
        }
        painter.drawText(QPointF(left, baseline), piece.toString());
    };
    draw(begin, selBegin, false);
    draw(selBegin, selEnd, true);
    draw(selEnd, end, false);
    if (selectedBreak && end == text.size()) // the line break is selected too
        painter.fillRect(QRectF(endX - shift, y, m_widths.advance(u' '), rowHeight()),
                         colors.brush(QPalette::Highlight));
}
