#pragma once

#include <QString>

// The system's own words for a Windows error code (a GetLastError() value), in the user's
// language, without the full stop and line break FormatMessageW ends with; "error N" when the
// system has no text for it.
QString windowsErrorText(unsigned long error);
