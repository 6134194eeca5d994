#include "app/find/Interrupt.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

namespace {
volatile LONG g_interrupted = 0;

// Runs on a thread of its own that the system starts; returning TRUE keeps the process alive
// so the search can close the port and print what it found.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    InterlockedExchange(&g_interrupted, 1);
    return TRUE;
}
} // namespace

void catchInterrupt()
{
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool interrupted()
{
    return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0;
}

bool stderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}
