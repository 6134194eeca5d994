#pragma once

#include <QByteArray>

#include <functional>

class HostSerialPort;

// Runs the event loop for about `milliseconds`, as the window does while it waits.
void pumpEvents(int milliseconds);

struct ReadPolling
{
    QByteArray received;
    bool readFailed = false;
    int passes = 0;
};

// Reads like the tool: one read() per pass of event pumping and a 1 ms sleep, at most 300 passes,
// until the reply holds a CR or a read fails. `beforePass` runs at the start of every pass.
ReadPolling pollReply(HostSerialPort &port, const std::function<void(int pass)> &beforePass = {});
