#pragma once

// tolvane-find is a console program, so a prompt waits for it and sees its exit code. Started
// from Explorer or the Start menu, Windows gives it a console of its own, which would stay open
// beside the window: the window lets it go. A console shared with a prompt stays. Elsewhere
// there is nothing to do.
void releaseOwnConsole();
