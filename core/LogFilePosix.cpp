#include "core/LogFile.h"

#include "core/BufferedContent.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Returns 0 or the errno of the first failed write.
int writeAll(int fd, const char *data, qsizetype left)
{
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        data += written;
        left -= written;
    }
    return 0;
}

// Returns 0 or the error of the first failed write.
int writeContent(int fd, const FileContent &content)
{
    return writeBuffered(
        [fd](const char *bytes, qsizetype size) { return writeAll(fd, bytes, size); }, content,
        int(EIO));
}

// A rename-based save would swap a device node (as root even /dev/full) for a plain file.
bool isSpecialFile(const QByteArray &path, struct stat &info)
{
    return ::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

// Opened without blocking: a FIFO with no reader fails at once instead of freezing the window.
QString writeInPlace(const QByteArray &path, const FileContent &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    int error = writeContent(fd, content);
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error ? systemReason(error) : QString();
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The new content goes to a temporary file beside the target, which replaces the target only
// once everything is written and synced.
QString writeAndReplace(const QByteArray &path, const FileContent &content)
{
    struct stat existing
    {
    };
    const mode_t mode =
        ::stat(path.constData(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    QByteArray temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        // Report why the file itself cannot be made (folder missing, not writable, ...).
        const int error = errno;
        return systemReason(error);
    }
    int error = writeContent(fd, content);
    if (error == 0 && ::fchmod(fd, mode) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), path.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.constData());
    return error ? systemReason(error) : QString();
}

} // namespace

QString writeWholeFile(const QString &path, const FileContent &content)
{
    // Saving through a link replaces what it points to, not the link.
    const QFileInfo info(path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    const QByteArray native = QFile::encodeName(target);
    struct stat status
    {
    };
    return isSpecialFile(native, status) ? writeInPlace(native, content)
                                         : writeAndReplace(native, content);
}
