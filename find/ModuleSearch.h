#pragma once

#include "core/ModuleCodes.h"

#include <QString>

#include <cstdint>
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
    std::vector<int> rates;            // empty: every rate of the tool's list, likeliest first
    bool characterProtocol = true;
    bool modbusRtu = true;
    int firstAddress = 0x00;           // character protocol 00..FF; MODBUS takes 1..247 of it
    int lastAddress = 0xFF;
    bool stopAtFirst = false;
    int turnaroundMs = -1;             // the module's time to answer; -1: the default
};

// One module that answered (or a reply that says something is there).
struct FoundModule
{
    int com = 0;
    int address = 0;                   // the address it answered at
    int rate = 0;
    tolvane::Protocol protocol = tolvane::Protocol::Character;
    QString typeCode;                  // "TT" of !AATTCCFF; empty when unknown
    QString formatCode;                // "FF" (data format code); empty when unknown
    QString name;                      // $AAM's answer, or the MODBUS map's description
    QString firmware;                  // $AAF's answer
    QString note;                      // a refusal, a garbled or wrong-address reply, in words
    QString reply;                     // the probe's reply as received, for the record
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
    // The most the whole plan can take, in milliseconds.
    static std::int64_t worstCaseMs(const SearchPlan &plan);

    SearchEnd run(const SearchPlan &plan, SearchObserver &observer);
    void stop();
    // Why the port could not be used, when run() returned PortUnusable.
    QString failure() const;
};
