#pragma once

#include "Fakes.h"

#include "core/LogEntry.h"
#include "core/Timestamp.h"

#include <gtest/gtest.h>

class CoreTest : public ::testing::Test, protected CoreRig
{
protected:
    QString stamp() const { return generalDateTime(now); }
    QString entry(const QString &command, const QString &response) const
    {
        return logEntry(stamp(), command, response);
    }
};
