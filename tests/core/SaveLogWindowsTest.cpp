// What a save does with Windows' own paths and refusals.
#include "SaveLogFixture.h"

#include "core/LogFileWindows.h"
#include "core/WindowsErrorText.h"

#include <thread>

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

// Another program's hold on a file, opened without delete sharing as editors and virus scanners
// open files, until it is released or the time given has passed.
class Hold
{
public:
    Hold(const QString &path, DWORD milliseconds)
        : m_file(CreateFileW(native(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
        , m_release(CreateEventW(nullptr, TRUE, FALSE, nullptr))
        , m_thread([this, milliseconds] {
            WaitForSingleObject(m_release, milliseconds);
            CloseHandle(m_file);
        })
    {}
    ~Hold()
    {
        release();
        CloseHandle(m_release);
    }
    bool held() const { return m_file != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (m_thread.joinable()) {
            SetEvent(m_release);
            m_thread.join();
        }
    }

private:
    HANDLE m_file;
    HANDLE m_release;
    std::thread m_thread;
};

class HeldSave : public SaveLogTest
{
protected:
    HeldSave()
    {
        QFile earlier(target);
        if (earlier.open(QIODevice::WriteOnly))
            earlier.write("earlier");
    }
    void save()
    {
        messages.clear();
        send("#01", QByteArray(">1\r"));
        dialogAnswer = target;
        ops.SaveLog();
    }
    QString target = pathOf("held.txt");
};

// A target held to the end gives one message naming it and the system's words; the file keeps
// its content and nothing is left beside it. Once released, the same save succeeds.
TEST_F(HeldSave, ToTheEndFailsWithTheFileAsItWasThenSucceedsOnceReleased)
{
    Hold hold(target, INFINITE);
    ASSERT_TRUE(hold.held());
    save();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QDir::toNativeSeparators(target)))
        << messages.first().toStdString();
    EXPECT_TRUE(messages.first().contains(windowsErrorText(ERROR_SHARING_VIOLATION)))
        << messages.first().toStdString();
    EXPECT_EQ(contents(target), QByteArray("earlier"));
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("held.txt")});

    hold.release();
    save();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(contents(target), (log.text() + "\r\n").toUtf8());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("held.txt")});
}

// A brief hold, such as a scanner's, ends within the save's retries: no message.
TEST_F(HeldSave, BrieflyIsWaitedFor)
{
    Hold hold(target, 200);
    ASSERT_TRUE(hold.held());
    save();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(contents(target), (log.text() + "\r\n").toUtf8());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("held.txt")});
}

// ReplaceFileW's failures part way, which wine never makes, replayed as its documentation
// describes them: ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 leaves the old file under the backup name
// and the new one under its own; ERROR_UNABLE_TO_MOVE_REPLACEMENT (with a backup name) leaves
// both where they were.
struct PartialReplace
{
    const char *name;
    DWORD error;
    int failures; // the attempts that fail, from the first
    bool saved;
};

const PartialReplace partialReplaces[] = {
    {"OldFileAsideOnce", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 1, true},
    {"OldFileAsideEveryTime", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 100, false},
    {"NothingMovedEveryTime", ERROR_UNABLE_TO_MOVE_REPLACEMENT, 100, false},
};

const PartialReplace *replaying = nullptr;
int attempts = 0;

BOOL WINAPI replayReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                          LPVOID exclude, LPVOID reserved)
{
    if (attempts++ >= replaying->failures)
        return ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
    if (replaying->error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && !MoveFileW(replaced, backup))
        return FALSE;
    SetLastError(replaying->error);
    return FALSE;
}

class PartialReplaceSave : public HeldSave, public ::testing::WithParamInterface<PartialReplace>
{
protected:
    PartialReplaceSave()
    {
        replaying = &GetParam();
        attempts = 0;
        filePlacement().replaceFile = &replayReplace;
    }
    ~PartialReplaceSave() override { filePlacement() = FilePlacement(); }
};

TEST_P(PartialReplaceSave, LeavesTheOldFileInPlaceOrTheNewOne)
{
    const PartialReplace &row = GetParam();
    save();
    EXPECT_GE(attempts, 1);
    if (row.saved) {
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(contents(target), (log.text() + "\r\n").toUtf8());
    } else {
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages.first().contains(windowsErrorText(row.error)))
            << messages.first().toStdString();
        EXPECT_EQ(contents(target), QByteArray("earlier"));
    }
    EXPECT_EQ(entriesOf(dir.path()), QStringList{QStringLiteral("held.txt")});
}

INSTANTIATE_TEST_SUITE_P(Core, PartialReplaceSave, ::testing::ValuesIn(partialReplaces),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
