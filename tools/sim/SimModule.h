#pragma once

#include "Reading.h"

#include <functional>
#include <string>
#include <utility>

namespace sim {

using tolvane::Protocol;

inline constexpr const char *kDefaultName = "TOLVANE-SIM";
inline constexpr const char *kDefaultFirmware = "1.00";

struct ModuleState
{
    int address = 0x01;
    DataFormat format = DataFormat::Engineering;
    int baud = tolvane::kDefaultBaudRate;
    Protocol protocol = Protocol::Character;
    bool jumperFitted = false;
    // What $AAM and $AAF answer; empty: the module refuses the question.
    std::string name = kDefaultName;
    std::string firmware = kDefaultFirmware;

    bool operator==(const ModuleState &other) const
    {
        return address == other.address && format == other.format && baud == other.baud &&
               protocol == other.protocol && jumperFitted == other.jumperFitted &&
               name == other.name && firmware == other.firmware;
    }
};

// Why a command got no reply.
enum class Silence { None, Unaddressed, WrongAddress, BaudMismatch, Modbus, Silent };
const char *silenceText(Silence silence);

struct Outcome
{
    std::string reply; // CR included; empty unless silence is None
    Silence silence = Silence::None;
};

// The module's character protocol. Commands are "#AA" (read), "%AANNTTCCFF" (configure),
// "$AAP0"/"$AAP1" (protocol), "$AA2" (read the configuration: "!AATTCCFF", type 00, rate and
// format codes), "$AAM" (name) and "$AAF" (firmware version), both answered "!AA" + text.
// Address 00 is the configuration address: '%' and '$' commands sent to it are taken as sent
// to this module; reads answer only the module's own address. Replies are ">data", "!AA..." or
// "?AA" with the module's own address ("!NN", the new one, for an accepted configuration), each
// ended by CR.
class SimModule
{
public:
    static constexpr int kConfigAddress = 0x00;

    explicit SimModule(const ModuleState &state = {})
        : m_state(state)
    {}

    // lineBaud is the rate the line is set to now; the module only hears its own rate.
    Outcome handle(const std::string &command, int lineBaud, double volts);
    const ModuleState &state() const { return m_state; }
    // MODBUS writes change the state through the module's register map.
    ModuleState &state() { return m_state; }

    // The module shares its line with others: addressTaken(a) says whether one of them has
    // address a, which a configuration may then not give this one. On a shared line only a
    // module with its jumper fitted takes the configuration address, as only the module being
    // configured should answer it.
    void joinLine(std::function<bool(int)> addressTaken)
    {
        m_addressTaken = std::move(addressTaken);
    }
    bool addressTaken(int address) const { return m_addressTaken && m_addressTaken(address); }

private:
    Outcome configure(const std::string &command);
    Outcome setProtocol(const std::string &command);
    Outcome dollarCommand(const std::string &command);
    Outcome readConfiguration() const;
    Outcome answerText(const std::string &text) const;
    Outcome refuse() const;

    ModuleState m_state;
    std::function<bool(int)> m_addressTaken;
};

} // namespace sim
