#include "serial/OpenFailure.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

QString inUseText(const QString &path)
{
    return QStringLiteral("%1 is in use by another program").arg(path);
}

QString openFailureText(const QString &path, const QString &canonicalPath, const QString &settings,
                        QSerialPort::SerialPortError error, const QString &qtMessage)
{
    const QByteArray native = QFile::encodeName(canonicalPath);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device: %1").arg(path);
    case QSerialPort::PermissionError:
        // Qt reports a lock file held by another process, and EBUSY from a device opened
        // exclusively, as PermissionError as well; only EACCES means the user lacks the rights.
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return QStringLiteral("permission denied on %1: is the user in the dialout group?")
                .arg(path);
        return inUseText(path);
    case QSerialPort::UnsupportedOperationError: {
        // ENOTTY (a file that is no tty) and EINVAL (line settings the driver rejects) look alike.
        struct stat status
        {
        };
        if (::stat(native.constData(), &status) != 0 || !S_ISCHR(status.st_mode))
            return QStringLiteral("%1 is not a serial port (%2)").arg(path, qtMessage);
        return QStringLiteral("%1 refused the settings %2 (%3)").arg(path, settings, qtMessage);
    }
    default:
        return QStringLiteral("%1: %2").arg(path, qtMessage);
    }
}
