#include "core/Operations.h"

#include "core/EventPump.h"
#include "core/FormState.h"
#include "core/LineCodec.h"
#include "core/LogEntry.h"
#include "core/LogModel.h"
#include "core/Pause.h"
#include "core/ResumeNext.h"
#include "core/SerialPort.h"
#include "core/Timestamp.h"
#include "core/WindowControls.h"

namespace {

constexpr int LastPass = 300;

} // namespace

void Operations::SendCommand()
{
    m_state.LastCommand = m_window.commandText();
    m_window.setSentCommandText(m_state.LastCommand);
    // This call's own copy: the box, and LastCommand, may change while we wait.
    const QByteArray line = toLineBytes(m_state.LastCommand);

    ResumeNext steps;
    steps(m_port.setPortNumber(m_state.PortNumber));
    steps(m_port.setSettings(m_window.listText(WindowControls::List::LinkBaud) +
                             QStringLiteral(",N,8,1")));
    steps(m_port.setReadLength(0));
    steps(m_port.setOpen(true));
    steps(m_port.discardOutput());
    steps(m_port.discardInput());
    steps(m_port.write(line + '\r'));
    if (!steps.anyFailed())
        m_window.setLampColor(LampGreen);

    // Poll until the reply's carriage return, at most 300 reads. PollCount is shared state: a
    // send started inside this wait resets and advances the same counter.
    QByteArray reply;
    m_state.PollCount = 0;
    for (;;) {
        m_pump.pumpEvents();
        Pause(m_pump, 1);
        m_state.PollCount += 1;
        if (m_state.PollCount > LastPass)
            break;
        QByteArray received;
        if (m_port.read(received))
            reply += received;
        if (reply.contains('\r'))
            break;
    }

    const QString response = fromLineBytes(reply);
    m_window.setResponseText(response);

    // The entry names the command this call put on the line, whatever the box says now.
    m_log.prepend(logEntry(generalDateTime(m_clock()), fromLineBytes(line), response));
    m_window.showNewLogEntry();
}
