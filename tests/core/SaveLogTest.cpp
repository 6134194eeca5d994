#include "SaveLogFixture.h"

namespace {

// The saved bytes of a log that holds every kind of reply, pinned by a file written before the
// log's store was rebuilt: newest first, UTF-8 without a byte-order mark, CR LF at the end.
// Set TOLVANE_WRITE_GOLDEN=1 to write the file anew from what the tool saves now.
TEST_F(SaveLogTest, SavedFileMatchesTheGoldenFile)
{
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    send("#01", QByteArray(">+05.123\r"));
    send("$00P1", QByteArray("?01\r\x85\xE9"));
    send("设置", QByteArray());
    send("", QByteArray(">1\r\n2\r\n"));
    send("#02", everyByte);
    dialogAnswer = pathOf("log.txt");
    ops.SaveLog();
    ASSERT_TRUE(messages.isEmpty());

    const QString golden = QStringLiteral(TOLVANE_GOLDEN_DIR "/log.txt");
    if (qEnvironmentVariableIntValue("TOLVANE_WRITE_GOLDEN") == 1) {
        ASSERT_TRUE(QFile::remove(golden) || !QFile::exists(golden));
        ASSERT_TRUE(QFile::copy(pathOf("log.txt"), golden));
    }
    QByteArray expected = contents(golden);
#ifdef _WIN32
    // The golden file holds dates in the C locale's form; Windows writes the user's own, which a
    // test cannot set: there this system's form of the same moment stands in for it.
    expected.replace(expected.left(expected.indexOf("   Command:")), stamp().toUtf8());
#endif
    EXPECT_EQ(contents(pathOf("log.txt")), expected);
    EXPECT_EQ(filters, QStringList{QStringLiteral("*.txt")});
}

// A cancelled first dialog writes nothing; an empty log is just CR LF; a save replaces a longer
// file whole, under a name Windows keeps in UTF-16, with nothing left beside it; a cancel after a
// confirmed save leaves the file alone.
TEST_F(SaveLogTest, EachConfirmedSaveReplacesTheFileAndACancelNeverWrites)
{
    const QString target = dir.filePath(QStringLiteral("日志 ü.txt"));
    ops.SaveLog();
    EXPECT_TRUE(entries().isEmpty());

    dialogAnswer = target;
    ops.SaveLog();
    EXPECT_EQ(contents(target), QByteArray("\r\n"));
    QFile longer(target);
    ASSERT_TRUE(longer.open(QIODevice::WriteOnly));
    ASSERT_EQ(longer.write(QByteArray(5000, 'x')), 5000);
    longer.close();
    send("#01", QByteArray(">1\r"));
    ops.SaveLog();
    const QByteArray saved = wholeLog();
    EXPECT_EQ(contents(target), saved);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("日志 ü.txt")});

    send("#02", QByteArray(">2\r"));
    dialogAnswer.reset();
    ops.SaveLog();
    EXPECT_EQ(contents(target), saved);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

// One message naming the target and the system's reason; the log, the folder and the target as
// they were: an earlier file keeps its content, a device or FIFO is never replaced by a plain
// file, and no temporary file is left.
TEST_P(SaveFails, WithAMessageAndEverythingAsItWas)
{
    const SaveFailure &failure = GetParam();
    const QString target = failure.target(dir.path());
    if (target.isEmpty())
        GTEST_SKIP() << failure.unmade;
    const QStringList before = entries();
    // Only a plain file is read back: reading a device or a FIFO would not end.
    const bool plain = QFileInfo(target).isFile();
    const QByteArray targetBefore = plain ? contents(target) : QByteArray();
    send("#01", QByteArray(">1\r"));
    const QString logBefore = log.text();
    dialogAnswer = target;
    ops.SaveLog();

    expectOneMessage(target, failure.reason);
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(entries(), before);
    EXPECT_EQ(QFileInfo(target).isFile(), plain);
    EXPECT_EQ(plain ? contents(target) : QByteArray(), targetBefore);
    // A read-only file would keep Windows from removing the folder.
    QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
}

} // namespace
