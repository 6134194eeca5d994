#include "serial/PortMessages.h"

#include "core/ComLinks.h"

QString outOfRangeText(int n)
{
    return QStringLiteral("COM%1 is not a port number (COM%2 to COM%3)")
        .arg(n)
        .arg(tolvane::kFirstCom)
        .arg(tolvane::kLastCom);
}

QString settingsNotUnderstoodText(const QString &settings)
{
    return QStringLiteral("settings \"%1\" not understood (expected baud,parity,data bits,stop "
                          "bits such as 9600,N,8,1)")
        .arg(settings);
}

QString settingsRefusedText(const QString &device, const QString &settings, const QString &reason)
{
    return QStringLiteral("%1 refused the settings %2 (%3)").arg(device, settings, reason);
}

QString readLengthText(int length)
{
    return QStringLiteral("read length %1 is not supported (only 0: everything received)")
        .arg(length);
}

QString noSuchDeviceText(const QString &device)
{
    return QStringLiteral("no such device: %1").arg(device);
}

QString inUseText(const QString &device)
{
    return QStringLiteral("%1 is in use by another program").arg(device);
}

QString notSerialText(const QString &device, const QString &reason)
{
    return QStringLiteral("%1 is not a serial port (%2)").arg(device, reason);
}

QString deviceGoneText(const QString &device, const QString &reason)
{
    return QStringLiteral("%1: device went away (%2)").arg(device, reason);
}

QString ioFailedText(const QString &device, const QString &what, const QString &reason)
{
    return QStringLiteral("%1: %2 failed: %3").arg(device, what, reason);
}

QString systemFailureText(const QString &device, const QString &reason)
{
    return QStringLiteral("%1: %2").arg(device, reason);
}
