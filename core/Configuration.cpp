#include "core/Operations.h"

#include "core/CodeTables.h"
#include "core/FormState.h"
#include "core/WindowControls.h"

void Operations::SelectBaudCode()
{
    m_state.BaudCode = baudCodeFor(m_window.listText(WindowControls::List::ModuleBaud));
}

void Operations::SelectFormatCode()
{
    m_state.FormatCode = formatCodeFor(m_window.listText(WindowControls::List::Format));
}

void Operations::SelectProtocolCode()
{
    m_state.ProtocolCode = protocolCodeFor(m_window.listText(WindowControls::List::Protocol));
}

void Operations::SetConfiguration()
{
    // The address goes in exactly as typed: the module, not the tool, judges it.
    m_window.setCommandText(QStringLiteral("%00") + m_window.addressText() + QStringLiteral("00") +
                            m_state.BaudCode + m_state.FormatCode);
    SendCommand();
}

void Operations::SetProtocol()
{
    m_window.setCommandText(QStringLiteral("$00P") + m_state.ProtocolCode);
    SendCommand();
}
