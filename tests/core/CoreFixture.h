#pragma once

#include "Fakes.h"

#include "core/FormState.h"
#include "core/LogEntry.h"
#include "core/LogModel.h"
#include "core/Operations.h"
#include "core/Timestamp.h"

#include <gtest/gtest.h>

// The operations over fakes, started up as the window does, with a fixed clock.
class CoreTest : public ::testing::Test
{
protected:
    CoreTest()
        : ops(state, window, port, pump, log)
    {
        ops.setClock([this] { return now; });
        ops.StartUp();
    }

    QString stamp() const { return generalDateTime(now); }
    QString entry(const QString &command, const QString &response) const
    {
        return logEntry(stamp(), command, response);
    }

    FormState state;
    FakeWindow window;
    FakeSerialPort port;
    ScriptedPump pump;
    LogModel log;
    QDateTime now{QDate(2026, 3, 14), QTime(9, 26, 53)};
    Operations ops;
};
