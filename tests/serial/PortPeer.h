#pragma once

#include "serial/PlatformSerialPort.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>

// The far side of COM1 for the serial port's contract test, on the platform the build has: a
// pseudo-terminal on Linux, a scripted driver on Windows (where wine's COM ports lead nowhere).
class PortPeer
{
public:
    static std::unique_ptr<PortPeer> create();
    virtual ~PortPeer() = default;

    // A new port whose COM1 reaches this peer.
    virtual std::unique_ptr<PlatformSerialPort> makePort() = 0;
    // What the port calls COM1 in its failures.
    virtual QString device() const = 0;
    // Makes COM n lead to a device that does not exist; returns what the port calls it.
    virtual QString makeAbsent(int n) = 0;

    virtual void send(const QByteArray &bytes) = 0;
    // `count` bytes the port wrote, or fewer after a wait of a few seconds.
    virtual QByteArray receive(int count) = 0;
    // The baud rate the port set and whether it asked for two stop bits.
    virtual std::pair<int, bool> line() const = 0;
    // Takes the device away; returns the reason the port's failure gives in brackets.
    virtual QString unplug() = 0;
};
