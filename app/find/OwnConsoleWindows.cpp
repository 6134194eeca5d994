#include "app/find/OwnConsole.h"

#include <windows.h>

void releaseOwnConsole()
{
    // "GetConsoleProcessList ... the number of processes attached to the console": 1 when the
    // console was made for this process alone.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1)
        FreeConsole();
}
