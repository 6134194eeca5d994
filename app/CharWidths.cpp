#include "app/CharWidths.h"

#include <algorithm>

QFont CharWidths::unshaped(QFont font)
{
    font.setKerning(false);
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return font;
}

CharWidths::CharWidths(const QFont &font)
    : m_font(unshaped(font))
    , m_metrics(m_font)
{}

qreal CharWidths::advance(QChar c) const
{
    constexpr int PageSize = 1 << PageBits;
    std::unique_ptr<float[]> &page = m_advances[c.unicode() >> PageBits];
    if (!page) {
        page.reset(new float[PageSize]);
        std::fill_n(page.get(), PageSize, -1.0f);
    }
    float &known = page[c.unicode() & (PageSize - 1)];
    if (known < 0) {
        // A surrogate half has no advance of its own; count the pair as one average character.
        known = c.isSurrogate() ? (c.isHighSurrogate() ? float(m_metrics.averageCharWidth()) : 0.0f)
                                : float(m_metrics.horizontalAdvance(c));
    }
    return known;
}

qreal CharWidths::width(QStringView text) const
{
    qreal x = 0;
    for (const QChar c : text)
        x += advance(c);
    return x;
}

qreal CharWidths::xOf(QStringView text, qsizetype column) const
{
    return width(text.left(column));
}

qsizetype CharWidths::columnAt(QStringView text, qreal x) const
{
    qreal left = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qreal w = advance(text.at(i));
        if (x < left + w / 2)
            return i;
        left += w;
    }
    return text.size();
}
