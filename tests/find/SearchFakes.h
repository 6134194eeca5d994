#pragma once

#include "../support/QtPrinting.h"
#include "core/EventPump.h"
#include "core/ModbusCrc.h"
#include "core/SerialPort.h"
#include "find/ModuleSearch.h"

#include <functional>
#include <map>
#include <string_view>
#include <vector>

// Time that moves only when the search sleeps.
class FakeClock : public SearchClock
{
public:
    std::int64_t now = 1'000'000;
    std::int64_t nowMicroseconds() override { return now; }
};

// Each 1 ms sleep moves the clock by exactly 1 ms; an action can be played at a given time,
// as a Stop click or an unplug inside a wait.
class FakePump : public EventPump
{
public:
    explicit FakePump(FakeClock &clock)
        : m_clock(clock)
    {}
    std::map<std::int64_t, std::function<void()>> at; // clock time -> action, played once
    std::function<void()> everyPump;

    void pumpEvents() override
    {
        while (!at.empty() && at.begin()->first <= m_clock.now) {
            auto action = at.begin()->second;
            at.erase(at.begin());
            action();
        }
        if (everyPump)
            everyPump();
    }
    void sleepMilliseconds(int ms) override { m_clock.now += std::int64_t(ms) * 1000; }

private:
    FakeClock &m_clock;
};

// A line of scripted modules: what is written at a rate gets the scripted reply, whose
// characters then arrive one character time apart after the module's turnaround.
class FakeLine : public SerialPort
{
public:
    struct Written
    {
        int rate;
        QByteArray bytes;
        std::int64_t atUs;
    };
    // (command, rate) -> reply; no entry: silence.
    std::map<std::pair<QByteArray, int>, QByteArray> replies;
    std::int64_t turnaroundUs = 2000;
    std::map<QByteArray, std::int64_t> lateUs; // a turnaround of its own for some commands
    bool openFails = false;

    std::vector<Written> writes;
    std::vector<QString> settingsSet;
    bool open = false;
    std::int64_t closedAtUs = -1;
    int com = 0;

    explicit FakeLine(FakeClock &clock)
        : m_clock(clock)
    {}

    bool setPortNumber(std::int16_t n) override
    {
        com = n;
        return !open;
    }
    bool setSettings(const QString &settings) override
    {
        settingsSet.push_back(settings);
        m_rate = settings.section(QLatin1Char(','), 0, 0).toInt();
        return true;
    }
    bool setReadLength(int) override { return true; }
    bool setOpen(bool o) override
    {
        if (o && (openFails || open))
            return false;
        if (!o && open)
            closedAtUs = m_clock.now;
        open = o;
        return true;
    }
    bool discardOutput() override { return open; }
    // Drops what has arrived; what is still on the wire comes later.
    bool discardInput() override
    {
        while (!m_arriving.empty() && m_arriving.front().first <= m_clock.now)
            m_arriving.erase(m_arriving.begin());
        return open;
    }
    bool write(const QByteArray &bytes) override
    {
        if (!open)
            return false;
        writes.push_back({m_rate, bytes, m_clock.now});
        const auto reply = replies.find({bytes, m_rate});
        if (reply == replies.end())
            return true;
        const std::int64_t character = 10'000'000 / m_rate;
        const auto late = lateUs.find(bytes);
        std::int64_t at = m_clock.now + character * bytes.size() +
                          (late == lateUs.end() ? turnaroundUs : late->second);
        for (const char c : reply->second) {
            at += character;
            m_arriving.push_back({at, c});
        }
        return true;
    }
    bool read(QByteArray &received) override
    {
        if (!open)
            return false;
        while (!m_arriving.empty() && m_arriving.front().first <= m_clock.now) {
            received += m_arriving.front().second;
            m_arriving.erase(m_arriving.begin());
        }
        return true;
    }

private:
    FakeClock &m_clock;
    int m_rate = 9600;
    std::vector<std::pair<std::int64_t, char>> m_arriving;
};

class RecordingObserver : public SearchObserver
{
public:
    std::vector<FoundModule> found_;
    std::vector<std::pair<int, std::int64_t>> progressSeen; // done, ms left
    std::function<void(const FoundModule &)> onFound;

    void progress(int done, int, std::int64_t msLeft) override
    {
        progressSeen.push_back({done, msLeft});
    }
    void found(const FoundModule &module) override
    {
        found_.push_back(module);
        if (onFound)
            onFound(module);
    }
};

// A MODBUS RTU frame with its CRC, from hex pairs: "05 03 08 00 05".
inline QByteArray rtuFrame(const char *hex)
{
    QByteArray frame = QByteArray::fromHex(hex);
    const std::uint16_t crc =
        tolvane::modbusCrc(std::string_view(frame.constData(), std::size_t(frame.size())));
    frame += char(crc & 0xFF);
    frame += char(crc >> 8);
    return frame;
}

struct SearchRig
{
    FakeClock clock;
    FakePump pump{clock};
    FakeLine line{clock};
    RecordingObserver observer;
    ModuleSearch search{line, pump, clock};

    SearchEnd run(const SearchPlan &plan) { return search.run(plan, observer); }
};
