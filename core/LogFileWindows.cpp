#include "core/LogFile.h"

#include "core/BufferedContent.h"
#include "core/LogFileWindows.h"
#include "core/WindowsErrorText.h"

#include <QDir>
#include <QFileInfo>

#include <string>

namespace {

// Returns 0 or the error of the first failed write.
DWORD writeAll(HANDLE file, const char *data, qsizetype left)
{
    while (left > 0) {
        const DWORD chunk = DWORD(qMin<qsizetype>(left, qsizetype(1) << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        data += written;
        left -= written;
    }
    return 0;
}

// Returns 0 or the error of the first failed write.
DWORD writeContent(HANDLE file, const FileContent &content)
{
    return writeBuffered(
        [file](const char *bytes, qsizetype size) { return writeAll(file, bytes, size); }, content,
        DWORD(ERROR_WRITE_FAULT));
}

// The dialog accepts paths up to MAX_PATH (260), and the temporary name beside the target adds a
// dozen characters. The long form (\\?\C:\..., \\?\UNC\server\share\...) lifts the limit to 32767
// in every Windows 10 and 11; the manifest's longPathAware would need the system-wide
// LongPathsEnabled policy as well, which is off by default. The long form takes the path as it
// is, so it is made absolute and clean first.
std::wstring longForm(const QString &path)
{
    const QString native =
        QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (native.startsWith(QLatin1String("\\\\?\\")))
        return native.toStdWString();
    if (native.startsWith(QLatin1String("\\\\")))
        return L"\\\\?\\UNC\\" + native.mid(2).toStdWString();
    return L"\\\\?\\" + native.toStdWString();
}

// A new file beside the target, so that putting it in place is a rename within one folder.
HANDLE createTemporary(const std::wstring &target, std::wstring &temporary)
{
    const std::wstring stem = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (unsigned attempt = 0;; ++attempt) {
        temporary = stem + std::to_wstring(attempt);
        const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS || attempt == 99)
            return file;
    }
}

struct Placement
{
    DWORD error = 0;
    bool oldFileAside = false; // the earlier content is left under the backup name
};

// One attempt to put the temporary file in the target's place. An existing target is replaced
// by ReplaceFileW, which keeps its attributes, ACL, creation time and streams (MoveFileExW would
// drop them). With a backup name its documented failures leave both files where they can be put
// back: "the replaced and replacement files retain their original file names"
// (ERROR_UNABLE_TO_MOVE_REPLACEMENT, ERROR_UNABLE_TO_REMOVE_REPLACED), or the replaced file
// under the backup name (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), which goes back.
Placement placeOnce(const std::wstring &target, const std::wstring &temporary,
                    const std::wstring &backup)
{
    const FilePlacement &calls = filePlacement();
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (calls.moveFile(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {};
        return {GetLastError()};
    }
    DeleteFileW(backup.c_str());
    // Failing to keep the ACL (no WRITE_DAC on the old file) does not fail the save: the content
    // is what the user asked for.
    if (calls.replaceFile(target.c_str(), temporary.c_str(), backup.c_str(),
                          REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                          nullptr)) {
        // A program that held the old file with delete sharing keeps it until it lets go.
        DeleteFileW(backup.c_str());
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        !calls.moveFile(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        return {error, true};
    return {error};
}

// Another program holding the target or the new file (an editor, a sync client, a virus scanner
// that opens every new file) fails a replace with a sharing violation, or access denied; such
// holds are mostly brief. The waits add up to 750 ms, on the window's thread.
bool mayPassSoon(DWORD error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        return true;
    default:
        return false;
    }
}

Placement place(const std::wstring &target, const std::wstring &temporary)
{
    const std::wstring backup = temporary + L"-old";
    const DWORD waits[] = {20, 40, 80, 160, 200, 250};
    Placement placement = placeOnce(target, temporary, backup);
    for (const DWORD wait : waits) {
        if (placement.error == 0 || placement.oldFileAside || !mayPassSoon(placement.error))
            break;
        Sleep(wait);
        placement = placeOnce(target, temporary, backup);
    }
    if (placement.error != 0 && !placement.oldFileAside)
        DeleteFileW(backup.c_str());
    return placement;
}

// Shows a long-form path as the user knows it.
QString shortForm(const std::wstring &path)
{
    const QString text = QString::fromStdWString(path);
    if (text.startsWith(QLatin1String("\\\\?\\UNC\\")))
        return QLatin1String("\\\\") + text.mid(8);
    return text.mid(4);
}

} // namespace

FilePlacement &filePlacement()
{
    static FilePlacement calls;
    return calls;
}

// The content goes to a temporary file, is flushed to the disk, and only then takes the
// target's place, so a failure part way leaves the old file as it was.
QString writeWholeFile(const QString &path, const FileContent &content)
{
    const std::wstring target = longForm(path);
    std::wstring temporary;
    const HANDLE file = createTemporary(target, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return windowsErrorText(GetLastError());
    DWORD error = writeContent(file, content);
    if (error == 0 && !FlushFileBuffers(file))
        error = GetLastError();
    if (!CloseHandle(file) && error == 0)
        error = GetLastError();
    Placement placement;
    if (error == 0)
        placement = place(target, temporary);
    if (error == 0)
        error = placement.error;
    if (error != 0)
        DeleteFileW(temporary.c_str());
    if (placement.oldFileAside) {
        return QStringLiteral("%1; the earlier file is kept as %2")
            .arg(windowsErrorText(error), shortForm(temporary + L"-old"));
    }
    return error ? windowsErrorText(error) : QString();
}
