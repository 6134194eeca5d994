#include "serial/ComPortMap.h"

#include "serial/PortMessages.h"
#include "serial/PortOrder.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <utility>

using tolvane::kFirstCom;
using tolvane::kLastCom;

namespace {

// Read anew on every call, so a changed XDG_CONFIG_HOME counts at once.
QString linkDirectory()
{
    return QString::fromStdString(tolvane::linkDirectory());
}

QString ordinal(int n)
{
    const int lastTwo = n % 100;
    const int last = n % 10;
    const char *suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        if (last == 1)
            suffix = "st";
        else if (last == 2)
            suffix = "nd";
        else if (last == 3)
            suffix = "rd";
    }
    return QString::number(n) + QLatin1String(suffix);
}

QString withTilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace

ComPortMap::ComPortMap(PortLister presentPorts)
    : m_presentPorts(std::move(presentPorts))
{}

QStringList ComPortMap::hostSerialPorts()
{
    QStringList paths;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        paths.append(port.systemLocation());
    return paths;
}

ComPortMap::Mapping ComPortMap::resolve(int n) const
{
    Mapping mapping;
    if (n < kFirstCom || n > kLastCom)
        return mapping;

    const QFileInfo entry(QString::fromStdString(tolvane::comLinkPath(n)));
    if (entry.isSymbolicLink()) {
        mapping.source = Source::Link;
        mapping.path = entry.symLinkTarget();
        return mapping;
    }
    if (entry.exists()) {
        mapping.source = Source::File;
        mapping.path = entry.absoluteFilePath();
        return mapping;
    }

    const QStringList present = orderSerialPorts(m_presentPorts ? m_presentPorts() : QStringList());
    mapping.presentCount = present.size();
    if (n <= present.size()) {
        mapping.source = Source::Present;
        mapping.path = present.at(n - 1);
    }
    return mapping;
}

std::optional<QString> ComPortMap::devicePath(int n) const
{
    Mapping mapping = resolve(n);
    if (mapping.source == Source::None)
        return std::nullopt;
    return mapping.path;
}

QString ComPortMap::describe(int n) const
{
    const Mapping mapping = resolve(n);
    const QString com = QLatin1String("COM") + QString::number(n);
    const QString where = withTilde(linkDirectory());
    switch (mapping.source) {
    case Source::Link:
        return QStringLiteral("%1 -> %2 (link in %3%4)")
            .arg(com, mapping.path, where,
                 QFileInfo::exists(mapping.path) ? QString() : QStringLiteral("; device missing"));
    case Source::File:
        return QStringLiteral("%1 -> %2 (file in %3)").arg(com, mapping.path, where);
    case Source::Present:
        return QStringLiteral("%1 -> %2 (%3 serial port present)")
            .arg(com, mapping.path, ordinal(n));
    case Source::None:
        break;
    }
    return com + QLatin1String(": no device");
}

QString ComPortMap::noDeviceReason(int n) const
{
    if (n < kFirstCom || n > kLastCom)
        return outOfRangeText(n);
    const Mapping mapping = resolve(n);
    return QStringLiteral(
               "COM%1 maps to no device (no link in %2 and only %3 serial port%4 present)")
        .arg(n)
        .arg(linkDirectory())
        .arg(mapping.presentCount)
        .arg(mapping.presentCount == 1 ? QString() : QStringLiteral("s"));
}
