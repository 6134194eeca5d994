#include "core/Operations.h"

#include "core/CodeTables.h"
#include "core/FormState.h"
#include "core/ModuleCodes.h"
#include "core/WindowControls.h"

Operations::Operations(FormState &state, WindowControls &window, SerialPort &port, EventPump &pump,
                       LogModel &log)
    : m_state(state)
    , m_window(window)
    , m_port(port)
    , m_pump(pump)
    , m_log(log)
{}

void Operations::StartUp()
{
    using List = WindowControls::List;
    const QString baud = QString::number(tolvane::kDefaultBaudRate);
    m_state.PortNumber = 1;
    m_state.ProtocolCode = protocolCodeFor(protocolEntries().first());
    m_state.BaudCode = baudCodeFor(baud);
    m_state.FormatCode = formatCodeFor(formatEntries().first());
    m_window.fillList(List::Com, comEntries(), QStringLiteral("COM1"));
    m_window.fillList(List::ModuleBaud, baudRateEntries(), baud);
    m_window.fillList(List::Format, formatEntries(), formatEntries().first());
    m_window.fillList(List::Protocol, protocolEntries(), protocolEntries().first());
    m_window.fillList(List::LinkBaud, baudRateEntries(), baud);
    // The log is read-only by nature; a right click in it copies what the operator selected.
    m_window.setLogContextMenu(true);
}
