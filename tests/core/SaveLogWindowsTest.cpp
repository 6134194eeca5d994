// What a save does with Windows' own paths and refusals.
#include "SaveLogFixture.h"

#include "core/LogFileWindows.h"
#include "core/WindowsErrorText.h"

#include <thread>

#include <windows.h>

namespace {

const SaveFailure windowsFailures[] = {
    {"MissingFolder",
     [](const QString &folder) { return folder + QStringLiteral("/no/such/folder/log.txt"); },
     windowsErrorText(ERROR_PATH_NOT_FOUND)},
    {"ReadOnlyFile",
     [](const QString &folder) {
         const QString file = folder + QStringLiteral("/log.txt");
         QFile made(file);
         if (!made.open(QIODevice::WriteOnly) || made.write("earlier") != 7)
             return QString();
         made.close();
         if (!SetFileAttributesW(qUtf16Printable(file), FILE_ATTRIBUTE_READONLY))
             return QString();
         const HANDLE probe = CreateFileW(qUtf16Printable(file), GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
         if (probe == INVALID_HANDLE_VALUE)
             return file;
         CloseHandle(probe);
         return QString();
     },
     windowsErrorText(ERROR_ACCESS_DENIED), "wine run by root lets anyone write a read-only file"},
};

INSTANTIATE_TEST_SUITE_P(Windows, SaveFails, ::testing::ValuesIn(windowsFailures),
                         [](const auto &info) { return std::string(info.param.name); });

// Another program's hold on a file, opened without delete sharing as editors and virus scanners
// open files.
HANDLE hold(const QString &path)
{
    return CreateFileW(qUtf16Printable(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

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
// its content and nothing is left beside it. A brief hold, such as a scanner's, ends within the
// save's retries: no message.
TEST_F(HeldSave, ToTheEndFailsWithTheFileAsItWasBrieflyIsWaitedFor)
{
    HANDLE held = hold(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    save();
    CloseHandle(held);
    expectOneMessage(target, windowsErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(contents(target), QByteArray("earlier"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("held.txt")});

    held = hold(target);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread release([held] {
        Sleep(200);
        CloseHandle(held);
    });
    save();
    release.join();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(contents(target), wholeLog());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("held.txt")});
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
    if (row.saved) {
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
        EXPECT_EQ(contents(target), wholeLog());
    } else {
        expectOneMessage(target, windowsErrorText(row.error));
        EXPECT_EQ(contents(target), QByteArray("earlier"));
    }
    EXPECT_EQ(entries(), QStringList{QStringLiteral("held.txt")});
}

INSTANTIATE_TEST_SUITE_P(Core, PartialReplaceSave, ::testing::ValuesIn(partialReplaces),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
