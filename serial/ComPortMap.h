#pragma once

#include "core/ComLinks.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Which device COMn (tolvane::kFirstCom..kLastCom) means on this host:
//  1. ${XDG_CONFIG_HOME:-$HOME/.config}/tolvane/comN, when that link (or file) exists. It may point
//     to any device: a /dev/serial/by-id/... name, a pseudo-terminal. A dangling link still maps;
//     opening it then fails with "no such device".
//  2. Otherwise the N-th serial port present, USB adapters first (ttyUSB*, then ttyACM*), then the
//     others, each group in natural number order (ttyS2 before ttyS10).
class ComPortMap
{
public:
    // Device paths of the serial ports present, in any order.
    using PortLister = std::function<QStringList()>;

    explicit ComPortMap(PortLister presentPorts = hostSerialPorts);

    static QStringList hostSerialPorts();

    std::optional<QString> devicePath(int n) const;
    // One line for the COM list's tooltip, e.g. "COM2 -> /dev/ttyS1 (2nd serial port present)".
    QString describe(int n) const;
    // Why devicePath(n) has no answer, in words for the bench engineer.
    QString noDeviceReason(int n) const;

private:
    enum class Source { None, Link, File, Present };
    struct Mapping
    {
        Source source = Source::None;
        QString path;
        int presentCount = 0;
    };

    Mapping resolve(int n) const;

    PortLister m_presentPorts;
};
