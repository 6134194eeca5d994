#pragma once

#include "SimModule.h"
#include "SimOptions.h"

#include <string>
#include <vector>

namespace sim {

// A reply one module puts on the line.
struct Answer
{
    std::string reply;
    int replyDelayMs = 0; // the module's own time before it answers
    std::string from;     // its address on a line of several modules, else empty
};

// What the line got back for one command or frame: the answers (one, or none with the reason
// why, for the trace; several modules that all take the configuration address collide).
struct Heard
{
    std::vector<Answer> answers;
    std::string silence;
};

// The modules of one line, as the options set them up. Every module hears everything at its own
// rate; only the one addressed answers, in the protocol it speaks.
class ModuleBus
{
public:
    explicit ModuleBus(const SimOptions &options);
    ModuleBus(const ModuleBus &) = delete;
    ModuleBus &operator=(const ModuleBus &) = delete;

    // A text command, its CR removed.
    Heard hearCommand(const std::string &command, int lineBaud, double volts);
    // One whole MODBUS RTU frame, CRC included.
    Heard hearFrame(const std::string &frame, int lineBaud, double volts);
    // Whether any module speaks MODBUS RTU, so that frames are worth looking for.
    bool anyModbus() const;
    const SimModule &module(std::size_t index) const { return m_modules[index].module; }
    std::size_t size() const { return m_modules.size(); }

private:
    struct LineModule
    {
        SimModule module;
        int replyDelayMs = 0;
    };
    const LineModule *moduleAt(int address) const;
    Answer answerFrom(const LineModule &line, int address, const std::string &reply) const;

    std::vector<LineModule> m_modules;
};

} // namespace sim
