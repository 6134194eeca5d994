#pragma once

#include <QString>

// The failures of the serial port in words a bench engineer can act on, the same on every
// platform: the lamp's tooltip shows them. `device` is what COMn names ("/dev/ttyUSB0", "COM3").

QString outOfRangeText(int n);
QString settingsNotUnderstoodText(const QString &settings);
QString settingsRefusedText(const QString &device, const QString &settings, const QString &reason);
QString readLengthText(int length);
QString noSuchDeviceText(const QString &device);
QString inUseText(const QString &device);
QString notSerialText(const QString &device, const QString &reason);
QString deviceGoneText(const QString &device, const QString &reason);
// `what` is the operation: "write", "read", "discarding input".
QString ioFailedText(const QString &device, const QString &what, const QString &reason);
// Anything else the system says of `device`.
QString systemFailureText(const QString &device, const QString &reason);
