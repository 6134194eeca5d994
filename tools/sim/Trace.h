#pragma once

#include "SimModule.h"

#include <fstream>
#include <string>

namespace sim {

// One line per received command:
//   2025-01-31T14:02:03.117 baud=9600 "#01" -> ">+05.123\r"
//   2025-01-31T14:02:04.512 baud=19200 "#01" -> (no reply: baud mismatch, module at 9600)
class Trace
{
public:
    bool open(const std::string &path, std::string *error);
    void record(int lineBaud, const std::string &command, const Outcome &outcome, int moduleBaud);

private:
    std::ofstream m_file;
};

} // namespace sim
