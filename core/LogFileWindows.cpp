#include "core/LogFile.h"

#include "core/BufferedContent.h"

#include "core/WindowsErrorText.h"

#include <QDir>
#include <QFileInfo>

#include <string>

#include <windows.h>

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

// A new file beside the target, so that the final move is a rename within one folder.
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

} // namespace

// Every target is replaced: the content goes to a temporary file, is flushed to the disk, and
// only then takes the target's name, so a failure part way leaves the old file as it was.
QString writeWholeFile(const QString &path, const FileContent &content)
{
    const std::wstring target =
        QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
    std::wstring temporary;
    const HANDLE file = createTemporary(target, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return windowsErrorText(GetLastError());
    DWORD error = writeContent(file, content);
    if (error == 0 && !FlushFileBuffers(file))
        error = GetLastError();
    if (!CloseHandle(file) && error == 0)
        error = GetLastError();
    if (error == 0 && !MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != 0)
        DeleteFileW(temporary.c_str());
    return error ? windowsErrorText(error) : QString();
}
