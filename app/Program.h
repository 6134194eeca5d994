#pragma once

#include "app/MainWindow.h"
#include "app/QtEventPump.h"
#include "core/FormState.h"
#include "core/LogModel.h"
#include "core/Operations.h"

class SerialPort;

// The window, its state record, the log and the operations, wired together and started up.
// The serial port is given, so tests can put a fake or a pseudo-terminal behind it.
class Program
{
public:
    explicit Program(SerialPort &port);

    MainWindow &window() { return m_window; }
    Operations &operations() { return m_operations; }
    FormState &state() { return m_state; }
    LogModel &log() { return m_log; }

private:
    FormState m_state;
    LogModel m_log;
    QtEventPump m_pump;
    MainWindow m_window;
    Operations m_operations;
};
