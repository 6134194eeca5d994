#pragma once

#include "../support/QtPrinting.h"
#include "core/EventPump.h"
#include "core/FormState.h"
#include "core/LogModel.h"
#include "core/Operations.h"
#include "core/SerialPort.h"
#include "core/WindowControls.h"

#include <QMap>
#include <QSet>

#include <functional>
#include <map>
#include <vector>

// A serial component whose steps fail on request, and whose reads deliver scripted bytes.
class FakeSerialPort : public SerialPort
{
public:
    QSet<QString> failing;            // operation names that fail
    std::map<int, QByteArray> arrive; // read number (1-based) -> bytes that read returns
    QByteArray pendingInput;          // received before: the next read returns it unless discarded
    std::vector<QString> calls;
    QByteArray written;
    int reads = 0;
    bool open = false;
    QString settings;
    std::int16_t portNumber = 0;

    bool setPortNumber(std::int16_t n) override
    {
        return step("setPortNumber", [&] { portNumber = n; });
    }
    bool setSettings(const QString &s) override
    {
        return step("setSettings", [&] { settings = s; });
    }
    bool setReadLength(int) override { return step("setReadLength"); }
    bool setOpen(bool o) override
    {
        return step("setOpen", [&] { open = o; });
    }
    bool discardOutput() override { return step("discardOutput"); }
    bool discardInput() override
    {
        return step("discardInput", [&] { pendingInput.clear(); });
    }
    bool write(const QByteArray &bytes) override
    {
        return step("write", [&] { written += bytes; });
    }
    bool read(QByteArray &received) override
    {
        ++reads;
        return step("read", [&] {
            received += pendingInput;
            pendingInput.clear();
            auto it = arrive.find(reads);
            if (it != arrive.end())
                received += it->second;
        });
    }

private:
    bool step(const char *name, const std::function<void()> &effect = {})
    {
        calls.push_back(QString::fromLatin1(name));
        if (failing.contains(QString::fromLatin1(name)))
            return false;
        if (effect)
            effect();
        return true;
    }
};

// Counts pumps and sleeps; plays a scripted action at a given pump, as a click inside a wait.
class ScriptedPump : public EventPump
{
public:
    int pumps = 0;
    int sleptMs = 0;
    std::map<int, std::function<void()>> atPump; // pump number (1-based) -> action
    std::function<void()> everyPump;
    std::vector<int> sleepTrace;

    void pumpEvents() override
    {
        ++pumps;
        auto it = atPump.find(pumps);
        if (it != atPump.end()) {
            auto action = it->second;
            atPump.erase(it);
            action();
        }
        if (everyPump)
            everyPump();
    }
    void sleepMilliseconds(int ms) override
    {
        sleptMs += ms;
        sleepTrace.push_back(ms);
    }
};

// The window's controls as plain fields.
class FakeWindow : public WindowControls
{
public:
    QMap<List, QString> lists;
    QString command = QStringLiteral("#01");
    QString sentCommand;
    QString response;
    QString address = QStringLiteral("01");
    QString interval = QStringLiteral("100");
    LampColor lamp = LampGrey;
    std::vector<LampColor> lampHistory;
    int newLogEntries = 0; // times the view was told of a new entry

    QString listText(List list) const override { return lists.value(list); }
    void fillList(List list, const QStringList &, const QString &shown) override
    {
        lists[list] = shown;
    }
    QString commandText() const override { return command; }
    void setCommandText(const QString &text) override { command = text; }
    void setSentCommandText(const QString &text) override { sentCommand = text; }
    void setResponseText(const QString &text) override { response = text; }
    QString addressText() const override { return address; }
    QString intervalText() const override { return interval; }
    void setLampColor(LampColor color) override
    {
        lamp = color;
        lampHistory.push_back(color);
    }
    void showNewLogEntry() override { ++newLogEntries; }
    void setLogContextMenu(bool) override {} // the window test right-clicks the real log
};

// The operations over the fakes, started up as the window does, with a fixed clock.
struct CoreRig
{
    CoreRig()
        : ops(state, window, port, pump, log)
    {
        ops.setClock([this] { return now; });
        ops.StartUp();
    }

    FormState state;
    FakeWindow window;
    FakeSerialPort port;
    ScriptedPump pump;
    LogModel log;
    QDateTime now{QDate(2026, 3, 14), QTime(9, 26, 53)};
    Operations ops;
};
