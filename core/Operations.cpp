#include "core/Operations.h"

#include "core/CodeTables.h"
#include "core/FormState.h"
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
    m_state.PortNumber = 1;
    m_state.ProtocolCode = QStringLiteral("0");
    m_state.BaudCode = QStringLiteral("06");
    m_state.FormatCode = QStringLiteral("00");
    m_window.fillList(List::Com, comEntries(), QStringLiteral("COM1"));
    m_window.fillList(List::ModuleBaud, baudRateEntries(), QStringLiteral("9600"));
    m_window.fillList(List::Format, formatEntries(), formatEntries().first());
    m_window.fillList(List::Protocol, protocolEntries(), protocolEntries().first());
    m_window.fillList(List::LinkBaud, baudRateEntries(), QStringLiteral("9600"));
    // The log is read-only by nature; a right click in it copies what the operator selected.
    m_window.setLogContextMenu(true);
}
