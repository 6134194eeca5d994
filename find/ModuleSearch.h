#pragma once

#include "core/ModuleCodes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

class SerialPort;
class EventPump;

// Where the search stands in time: a monotonic clock in microseconds. The program's is the
// system's steady clock; tests give one that moves only when the fake pump sleeps.
class SearchClock
{
public:
    virtual ~SearchClock() = default;
    virtual std::int64_t nowMicroseconds() = 0;
};

// What to search: one COM port, the rates in the order tried, the protocols, an address range.
struct SearchPlan
{
    int com = 1;
    std::vector<int> rates; // empty: every rate of the tool's list, likeliest first
    bool characterProtocol = true;
    bool modbusRtu = true;
    int firstAddress = 0x00; // character protocol 00..FF; MODBUS takes 1..247 of it
    int lastAddress = 0xFF;
    bool stopAtFirst = false;
    int turnaroundMs = -1; // the module's time to answer; -1: the default
};

// A module answers within a few milliseconds; a USB adapter may then hold what it received up
// to 16 ms (the common FTDI latency timer) before the host sees it.
inline constexpr int kDefaultTurnaroundMs = 20;
inline constexpr int kMaxTurnaroundMs = 1000;

// One module that answered (or a reply that says something is there).
struct FoundModule
{
    int com = 0;
    int address = 0; // the address it answered at
    int rate = 0;
    tolvane::Protocol protocol = tolvane::Protocol::Character;
    QString typeCode;       // "TT" of !AATTCCFF; empty when unknown
    QString formatCode;     // "FF" (data format code); empty when unknown
    QString name;           // $AAM's answer, or the MODBUS map's description
    QString firmware;       // $AAF's answer
    QString note;           // a refusal, a garbled or wrong-address reply, in words
    QString reply;          // the probe's reply as received, for the record
    bool wellFormed = true; // false: garbled or from another address, see the note
};

class SearchObserver
{
public:
    virtual ~SearchObserver() = default;
    // probesDone of probesTotal; the most the rest can take, in milliseconds.
    virtual void progress(int probesDone, int probesTotal, std::int64_t msLeftAtMost) = 0;
    virtual void found(const FoundModule &module) = 0;
};

enum class SearchEnd { Found, NoneFound, Stopped, PortUnusable };

// Searches one COM port for modules, one probe per address, rate and protocol, each waiting
// only as long as the wire needs. Runs on the caller's thread; waits pump events through the
// given pump, so a Stop click (stop()) is seen within one pass. The port is closed at the end
// whatever happened.
class ModuleSearch
{
public:
    ModuleSearch(SerialPort &port, EventPump &pump, SearchClock &clock);

    // Empty when the plan is sound, else what is wrong with it, in words ("no protocol chosen",
    // "300..115200: 250 is not one of the rates", "addresses 00..FF only").
    static QString checkPlan(const SearchPlan &plan);
    // The plan with its defaults filled in (rates, turnaround).
    static SearchPlan completed(const SearchPlan &plan);
    // The most the whole plan can take, in milliseconds, when no module answers (each reply
    // adds its own characters, and each module found its name and firmware questions).
    static std::int64_t worstCaseMs(const SearchPlan &plan);
    // The wire's own time for the whole plan: every probe's characters, MODBUS frame gap,
    // turnaround and the first character of a reply, at its rate; no waiting beyond it.
    static std::int64_t floorUs(const SearchPlan &plan);
    static int probeCount(const SearchPlan &plan);

    SearchEnd run(const SearchPlan &plan, SearchObserver &observer);
    void stop();
    // Why the port could not be used, when run() returned PortUnusable.
    QString failure() const { return m_failure; }

private:
    enum class Wait { Reply, Silent, Stopped, PortLost };
    struct Exchange
    {
        Wait wait = Wait::Silent;
        QByteArray reply;
        // The search cannot go on: Stop was asked for or the port went away.
        bool endsSearch() const { return wait == Wait::Stopped || wait == Wait::PortLost; }
    };

    bool openPort(const SearchPlan &plan);
    bool setRate(int rate);
    SearchEnd finish(SearchEnd end);
    // Sends one command and waits as long as the wire needs for the start of its reply, then
    // for the reply's end.
    Exchange exchange(tolvane::Protocol protocol, int rate, const QByteArray &command);
    Wait readToEnd(tolvane::Protocol protocol, int rate, QByteArray &reply);
    bool pollOnce(QByteArray &received);
    void pauseForFrameGap(int rate);

    // Each returns false when the search must end (stopped or port lost).
    bool probeCharacter(int rate, int address, SearchObserver &observer);
    bool probeModbus(int rate, int address, SearchObserver &observer);
    bool askNameAndFirmware(FoundModule &module);
    void report(const FoundModule &module, bool isModule, SearchObserver &observer);
    QString lateNote() const;

    SerialPort &m_port;
    EventPump &m_pump;
    SearchClock &m_clock;
    SearchPlan m_plan;
    bool m_stopRequested = false;
    bool m_foundModule = false;
    bool m_foundAny = false;
    Wait m_lastWait = Wait::Silent;
    QString m_failure;
    std::set<std::tuple<int, int, int>> m_seen; // address, rate, protocol
};
