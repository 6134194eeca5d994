#include "core/DisplayText.h"
#include "core/LogModel.h"
#include "core/Timestamp.h"

#include <QRegularExpression>
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
}

TEST(LogModel, NewestEntryFirstAndTextExact)
{
    LogModel log;
    EXPECT_TRUE(log.text().isEmpty());
    log.prepend(QStringLiteral("one\r\r\n"));
    log.prepend(QString::fromLatin1("two\0\n\r\n", 7));
    log.prepend(QStringLiteral("three\r\n"));
    EXPECT_EQ(log.text(), QString::fromLatin1("three\r\ntwo\0\n\r\none\r\r\n", 20));
    EXPECT_EQ(log.entryCount(), 3u);
}

TEST(Timestamp, ShortDateBlankTimeWithSecondsAndNoZone)
{
    const QDateTime moment(QDate(2026, 3, 14), QTime(21, 26, 53));
    const QString text = generalDateTime(moment);
    EXPECT_TRUE(text.contains(QStringLiteral(":26:53"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("26"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("UTC"))) << text.toStdString();
    EXPECT_TRUE(text.startsWith(QLocale::system().toString(moment.date(), QLocale::ShortFormat) +
                                QLatin1Char(' ')));
}

} // namespace
