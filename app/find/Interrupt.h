#pragma once

// Ctrl+C on the command line: noted, not acted on in the handler; the search's wait sees it
// within one poll. One implementation per platform.
void catchInterrupt();
bool interrupted();
// Whether the standard error is a terminal, where a progress line can be redrawn in place.
bool stderrIsTerminal();
