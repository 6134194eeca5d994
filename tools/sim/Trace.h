#pragma once

#include "ModuleBus.h"

#include <fstream>
#include <string>
#include <vector>

namespace sim {

// One line per command or frame the modules heard, and what came of it:
//   2025-01-31T14:02:03.117 baud=9600 "#01" -> ">+05.123\r"
//   2025-01-31T14:02:04.512 baud=19200 "#01" -> (no reply: baud mismatch, module at 9600)
//   2025-01-31T14:02:05.020 baud=9600 "#02" -> ">+051.23\r" from 02 [late 500 ms]
//   2025-01-31T14:02:06.731 baud=9600 [01 04 00 00 00 01 31 CA] -> [01 04 02 14 03 B8 45]
// Text is escaped, MODBUS frames are hex; on a line of several modules the answering one is
// named, and faults follow in brackets.
class Trace
{
public:
    bool open(const std::string &path, std::string *error);
    // notes[i] is what became of heard.answers[i] ("" when it went out as it was).
    void record(int lineBaud, const std::string &received, bool frame, const Heard &heard,
                const std::vector<std::string> &notes);

private:
    std::ofstream m_file;
};

} // namespace sim
