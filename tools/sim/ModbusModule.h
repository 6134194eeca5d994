#pragma once

#include "SimModule.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// What a module in MODBUS RTU makes of one whole frame (address, function, data, CRC) that came
// off the line.
struct ModbusOutcome
{
    // The reply frame, CRC included; empty when nothing is sent.
    std::string reply;
    // For the trace: why nothing was sent, or the exception sent; empty for a plain reply.
    std::string note;
};

// Answers one frame for this module. Writes to its holding registers change `state`.
// addressTaken(a) says whether another module on the line already has address a; it is not
// asked about the module's own address. On return `state` holds the new rate and protocol, but
// the reply still goes out at the rate and in the protocol the module had before the call.
// Throws std::system_error when no pipe or libmodbus context can be had.
ModbusOutcome answerModbus(ModuleState &state, const std::string &frame, double volts,
                           const std::function<bool(int)> &addressTaken);

// CRC-16/MODBUS over bytes (as sent: low byte first on the line).
std::uint16_t modbusCrc(const std::string &bytes);

// The register map as data, one row per register, so the README's and the man page's table can
// be checked against it. Addresses as on the wire, counted from 0.
struct RegisterRow
{
    char table; // 'I' input register (FC 04), 'H' holding register (FC 03, 06, 16)
    int address;
    const char *name;
    const char *meaning;
};
const std::vector<RegisterRow> &registerMap();

} // namespace sim
