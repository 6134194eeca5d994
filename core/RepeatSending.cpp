#include "core/Operations.h"

#include "core/FormState.h"
#include "core/LeadingNumber.h"
#include "core/Pause.h"
#include "core/WindowControls.h"

void Operations::StartRepeat()
{
    m_state.RepeatFlag = 1;
    for (;;) {
        SendCommand();
        Pause(m_pump, 50);
        Pause(m_pump, 50);
        // Read afresh each cycle, so a new interval takes effect at the next one. The countdown
        // takes 16 off per 1 ms pause: an interval of T waits floor(T / 16) + 1 passes.
        m_state.IntervalLeft = leadingNumber(m_window.intervalText());
        do {
            m_state.IntervalLeft -= 16;
            Pause(m_pump, 1);
        } while (m_state.IntervalLeft >= 0);
        // Looked at once per cycle: a Stop anywhere in the cycle ends the run here.
        if (m_state.RepeatFlag == -1)
            break;
    }
}

void Operations::StopRepeat()
{
    m_state.RepeatFlag = -1;
}
