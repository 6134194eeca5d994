/* What the end-to-end tests ask Windows itself, run under wine beside the tool:
 *   probe window TITLE MS   waits up to MS ms for a visible top-level window titled TITLE and
 *                           prints its client area: width height left top (screen pixels)
 *   probe gone TITLE MS     waits up to MS ms until no visible window has that title
 * Exit status 0 when found (gone), 1 on timeout. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static HWND findVisible(const wchar_t *title)
{
    for (HWND window = NULL; (window = FindWindowExW(NULL, window, NULL, title)) != NULL;) {
        if (IsWindowVisible(window))
            return window;
    }
    return NULL;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4) {
        fputs("usage: probe window|gone TITLE MS\n", stderr);
        return 2;
    }
    const int gone = wcscmp(argv[1], L"gone") == 0;
    const DWORD limit = (DWORD)_wtoi(argv[3]);
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = findVisible(argv[2]);
        if (gone && !window)
            return 0;
        if (!gone && window) {
            RECT client;
            POINT origin = {0, 0};
            GetClientRect(window, &client);
            ClientToScreen(window, &origin);
            printf("%ld %ld %ld %ld\n", client.right - client.left, client.bottom - client.top,
                   origin.x, origin.y);
            return 0;
        }
        if (GetTickCount() - start > limit)
            return 1;
        Sleep(100);
    }
}
