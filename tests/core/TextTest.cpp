#include "core/DisplayText.h"
#include "core/LogModel.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// Each byte of a reply must show as something visible and different from every other byte.
TEST(DisplayText, EveryByteShowsVisiblyAndDistinctly)
{
    QSet<QString> seen;
    for (int b = 0; b < 256; ++b) {
        const QString shown = displayText(QString(QChar(b)));
        SCOPED_TRACE(b);
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_FALSE(seen.contains(shown));
        seen.insert(shown);
        if (b == ' ')
            continue;
        for (const QChar c : shown)
            EXPECT_TRUE(c.isPrint() && !c.isSpace()) << int(c.unicode());
    }
}

TEST(DisplayText, CrLfBreaksTheLineAndALoneCrShowsAsItsName)
{
    EXPECT_EQ(displayText(QStringLiteral(">+05.123\r\r\n")), QStringLiteral(">+05.123<CR>\n"));
    EXPECT_EQ(displayText(QStringLiteral("a\n\rb\x1B\x7F")),
              QStringLiteral("a<LF><CR>b<ESC><DEL>"));
    EXPECT_EQ(displayText(QStringLiteral("\xA0\x85 z")), QStringLiteral("<A0><85> z"));
    EXPECT_EQ(displayText(QStringLiteral("设置")), QStringLiteral("设置"));
    // Found by fuzzing: a leading U+FEFF is a character typed, not a byte-order mark to drop.
    EXPECT_EQ(displayText(QStringLiteral("\uFEFF#01")), QStringLiteral("\uFEFF#01"));
}

// Lines are what the view shows: each CR LF ends one, newest entry's lines first.
TEST(LogModel, NewestEntryFirstTextExactAndLinesAsShown)
{
    LogModel log;
    EXPECT_TRUE(log.text().isEmpty());
    EXPECT_EQ(log.lineCount(), 0);
    log.prepend(QStringLiteral("one\r\r\n"));
    log.prepend(QString::fromLatin1("two\0\n\r\n", 7));
    log.prepend(QStringLiteral("three\r\nfour \u00E9\u8BBE\r\n"));
    log.prepend(QString(70000, u'x') + QStringLiteral("\r\n")); // a block of its own
    log.prepend(QStringLiteral("five\r\n"));
    const QString big(70000, u'x');
    EXPECT_EQ(log.text(), QStringLiteral("five\r\n") + big + QStringLiteral("\r\n") +
                              QStringLiteral("three\r\nfour \u00E9\u8BBE\r\n") +
                              QString::fromLatin1("two\0\n\r\none\r\r\n", 13));
    EXPECT_EQ(log.entryCount(), 5u);
    EXPECT_EQ(log.entry(2), QStringLiteral("three\r\nfour \u00E9\u8BBE\r\n"));

    const QStringList lines{QStringLiteral("five"),
                            big,
                            QStringLiteral("three"),
                            QStringLiteral("four \u00E9\u8BBE"),
                            QString::fromLatin1("two\0\n", 5),
                            QStringLiteral("one\r")};
    ASSERT_EQ(log.lineCount(), lines.size());

    // Any run of lines shows as the display text of those lines joined by line breaks.
    for (int first = 0; first < lines.size(); ++first) {
        for (int last = first; last < lines.size(); ++last) {
            QByteArray shown;
            log.appendShownLines(shown, first, last);
            EXPECT_EQ(QString::fromUtf8(shown),
                      displayText(lines.mid(first, last - first + 1).join(QStringLiteral("\r\n"))))
                << first << ".." << last;
        }
    }
}

} // namespace
