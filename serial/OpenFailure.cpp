#include "serial/OpenFailure.h"

#include "serial/PortMessages.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The device's owner and group by name, or by number when they have none; dialout is the group
// a user joins for serial ports, suggested only when it is the device's group.
QString permissionDeniedText(const QString &path, const QByteArray &native)
{
    struct stat status
    {
    };
    if (::stat(native.constData(), &status) != 0)
        return QStringLiteral("permission denied on %1").arg(path);
    const passwd *owner = ::getpwuid(status.st_uid);
    const group *owningGroup = ::getgrgid(status.st_gid);
    const QString ownerName =
        owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(status.st_uid);
    const QString groupName =
        owningGroup ? QString::fromLocal8Bit(owningGroup->gr_name) : QString::number(status.st_gid);
    QString text = QStringLiteral("permission denied on %1 (owner %2, group %3)")
                       .arg(path, ownerName, groupName);
    if (groupName == QLatin1String("dialout"))
        text += QStringLiteral(": is the user in the dialout group?");
    return text;
}

} // namespace

QString openFailureText(const QString &path, const QString &canonicalPath, const QString &settings,
                        QSerialPort::SerialPortError error, const QString &qtMessage)
{
    const QByteArray native = QFile::encodeName(canonicalPath);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return noSuchDeviceText(path);
    case QSerialPort::PermissionError:
        // Qt reports a lock file held by another process, and EBUSY from a device opened
        // exclusively, as PermissionError as well; only EACCES means the user lacks the rights.
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return permissionDeniedText(path, native);
        return inUseText(path);
    case QSerialPort::UnsupportedOperationError: {
        // ENOTTY (a file that is no tty) and EINVAL (line settings the driver rejects) look alike.
        struct stat status
        {
        };
        if (::stat(native.constData(), &status) != 0 || !S_ISCHR(status.st_mode))
            return notSerialText(path, qtMessage);
        return settingsRefusedText(path, settings, qtMessage);
    }
    default:
        return systemFailureText(path, qtMessage);
    }
}
