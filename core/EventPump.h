#pragma once

// How the operations wait: sleep, and let the window handle what is pending. Any handler may run
// inside pumpEvents(), including another operation or the close of the window.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void pumpEvents() = 0;
    virtual void sleepMilliseconds(int milliseconds) = 0;
};
