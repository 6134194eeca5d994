// What a save does with Windows' own paths and refusals.
#include "SaveLogFixture.h"

#include "core/WindowsErrorText.h"

#include <windows.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A longer file is replaced whole, under a name Windows keeps in UTF-16, with nothing left
// beside it.
TEST_F(SaveLogTest, ReplacesALongerFileUnderAUnicodeName)
{
    const QString target = dir.filePath(QStringLiteral("日志 ü.txt"));
    QFile earlier(target);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    ASSERT_EQ(earlier.write(QByteArray(5000, 'x')), 5000);
    earlier.close();

    send("#01", QByteArray(">1\r"));
    dialogAnswer = target;
    ops.SaveLog();

    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(contents(target), (log.text() + "\r\n").toUtf8());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("日志 ü.txt")});
}

// A target that cannot be written: one message naming it and the system's words for the error,
// the log and the folder as they were (no temporary file left).
struct WindowsSaveFailure
{
    const char *name;
    // Makes the target in `folder`; empty when this system cannot refuse it (wine as root lets
    // anyone write a read-only file).
    QString (*target)(const QString &folder);
    DWORD error;
};

const WindowsSaveFailure windowsSaveFailures[] = {
    {"MissingFolder",
     [](const QString &folder) { return folder + QStringLiteral("/no/such/folder/log.txt"); },
     ERROR_PATH_NOT_FOUND},
    {"ReadOnlyFile",
     [](const QString &folder) {
         const QString file = folder + QStringLiteral("/log.txt");
         QFile made(file);
         if (!made.open(QIODevice::WriteOnly) || made.write("earlier") != 7)
             return QString();
         made.close();
         if (!SetFileAttributesW(native(file).c_str(), FILE_ATTRIBUTE_READONLY))
             return QString();
         const HANDLE probe = CreateFileW(native(file).c_str(), GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
         if (probe == INVALID_HANDLE_VALUE)
             return file;
         CloseHandle(probe);
         return QString();
     },
     ERROR_ACCESS_DENIED},
};

class WindowsSaveFails : public SaveLogTest,
                         public ::testing::WithParamInterface<WindowsSaveFailure>
{
};

TEST_P(WindowsSaveFails, WithTheSystemsReasonAndNothingLeftBehind)
{
    const WindowsSaveFailure &failure = GetParam();
    const QString target = failure.target(dir.path());
    if (target.isEmpty())
        GTEST_SKIP() << "this system lets the test write a read-only file (wine as root)";
    const QStringList before = entriesOf(dir.path());
    const QByteArray targetBefore = contents(target);
    send("#01", QByteArray(">1\r"));
    const QString logBefore = log.text();
    dialogAnswer = target;
    ops.SaveLog();

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QDir::toNativeSeparators(target)))
        << messages.first().toStdString();
    EXPECT_TRUE(messages.first().contains(windowsErrorText(failure.error)))
        << messages.first().toStdString();
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(entriesOf(dir.path()), before);
    EXPECT_EQ(contents(target), targetBefore);
    SetFileAttributesW(native(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

INSTANTIATE_TEST_SUITE_P(Core, WindowsSaveFails, ::testing::ValuesIn(windowsSaveFailures),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
