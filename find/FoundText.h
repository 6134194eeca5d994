#pragma once

#include "find/ModuleSearch.h"

#include <QString>

// A found module in words, the same in the window and on the command line.
namespace foundText {

// "0A" in the character protocol; "10 (0A)" in MODBUS RTU, whose tools count in decimal.
QString address(const FoundModule &module);
QString protocol(tolvane::Protocol protocol);
// "00 engineering units"; the bare code for a code the module list does not have; empty.
QString format(const QString &formatCode);
// What to set to talk to it: in the tool for the character protocol, in a MODBUS master else.
QString howToTalk(const FoundModule &module);
// "1 min 05 s", "12 s", "0.4 s".
QString duration(std::int64_t milliseconds);

} // namespace foundText
