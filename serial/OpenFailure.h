#pragma once

#include <QSerialPort>
#include <QString>

// Words a bench engineer can act on for a failed QSerialPort::open() of `path` (as the COM map
// named it; `canonicalPath` is what was opened, with the line settings `settings`).
QString openFailureText(const QString &path, const QString &canonicalPath, const QString &settings,
                        QSerialPort::SerialPortError error, const QString &qtMessage);
