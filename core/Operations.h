#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class EventPump;
class LogModel;
class SerialPort;
class WindowControls;
struct FormState;

// Everything the window's controls can start. Each operation runs to its end on the event
// thread; while it waits it pumps events, so any other operation may run inside it.
class Operations
{
public:
    using Clock = std::function<QDateTime()>;
    // Shows a modal Save dialog with the given filter; no value when the operator cancels.
    using SaveDialog = std::function<std::optional<QString>(const QString &filter)>;
    using MessageBox = std::function<void(const QString &message)>;

    Operations(FormState &state, WindowControls &window, SerialPort &port, EventPump &pump,
               LogModel &log);

    void setClock(Clock clock) { m_clock = std::move(clock); }
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    void setMessageBox(MessageBox messageBox) { m_messageBox = std::move(messageBox); }

    // Start-up: defaults of the state, the lists' entries and shown texts.
    void StartUp();

    // The port.
    void SelectPort();
    void OpenPort();
    void ClosePort();

    // The transaction every other way of talking to the module ends in.
    void SendCommand();

    // The configuration and protocol frames.
    void SelectBaudCode();
    void SelectFormatCode();
    void SelectProtocolCode();
    void SetConfiguration();
    void SetProtocol();

    // Repeat sending.
    void StartRepeat();
    void StopRepeat();

    // The log to a file.
    void SaveLog();

private:
    FormState &m_state;
    WindowControls &m_window;
    SerialPort &m_port;
    EventPump &m_pump;
    LogModel &m_log;
    Clock m_clock = [] { return QDateTime::currentDateTime(); };
    SaveDialog m_saveDialog = [](const QString &) { return std::optional<QString>(); };
    MessageBox m_messageBox = [](const QString &) {};
};
