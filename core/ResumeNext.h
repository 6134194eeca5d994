#pragma once

// Runs serial steps on past failures and remembers whether any failed since it was armed.
class ResumeNext
{
public:
    void operator()(bool stepSucceeded)
    {
        if (!stepSucceeded)
            m_failed = true;
    }
    bool anyFailed() const { return m_failed; }

private:
    bool m_failed = false;
};
