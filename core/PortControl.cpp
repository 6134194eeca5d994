#include "core/Operations.h"

#include "core/CodeTables.h"
#include "core/FormState.h"
#include "core/ResumeNext.h"
#include "core/SerialPort.h"
#include "core/WindowControls.h"

void Operations::SelectPort()
{
    m_window.setLampColor(LampGrey);
    ResumeNext steps;
    steps(m_port.setOpen(false));
    m_state.PortNumber = portNumberFor(m_window.listText(WindowControls::List::Com));
}

void Operations::OpenPort()
{
    ResumeNext steps;
    steps(m_port.setPortNumber(m_state.PortNumber));
    // Always 9600 here: the link baud list's rate is applied by the next send.
    steps(m_port.setSettings(QStringLiteral("9600,N,8,1")));
    steps(m_port.setReadLength(0));
    steps(m_port.setOpen(true));
    if (!steps.anyFailed())
        m_window.setLampColor(LampGreen);
}

void Operations::ClosePort()
{
    ResumeNext steps;
    steps(m_port.setOpen(false));
    if (!steps.anyFailed())
        m_window.setLampColor(LampGrey);
}
