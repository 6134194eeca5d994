#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QStringView>

#include <array>
#include <memory>

// Advances of single characters in a font without kerning or shaping, so that the width of a
// text is the sum of its characters' and a view can find any column of a row of a million
// characters without laying the whole row out.
class CharWidths
{
public:
    explicit CharWidths(const QFont &font = QFont());

    // The font to draw with: the given one with kerning and shaping off.
    const QFont &font() const { return m_font; }
    qreal advance(QChar c) const;
    qreal width(QStringView text) const;
    // Left edge of column `column` (0 .. text.size()).
    qreal xOf(QStringView text, qsizetype column) const;
    // The column boundary nearest to x.
    qsizetype columnAt(QStringView text, qreal x) const;

    static QFont unshaped(QFont font);

private:
    QFont m_font;
    QFontMetricsF m_metrics;
    // By UTF-16 code unit, in pages of 256 made when a character of theirs is first measured, so
    // a view holds the few pages of the characters it shows; < 0: not measured yet.
    static constexpr int PageBits = 8;
    mutable std::array<std::unique_ptr<float[]>, (0x10000 >> PageBits)> m_advances;
};
