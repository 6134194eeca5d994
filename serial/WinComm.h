#pragma once

#include "serial/SerialBackend.h"
#include "serial/SerialSettings.h"

#include <windows.h>

#include <memory>

// The few Windows communication calls the serial port makes, behind one seam so that tests can
// replay what real drivers do. Each has the system function's meaning and failure rule (FALSE or
// INVALID_HANDLE_VALUE, the reason in GetLastError()); completions of overlapped reads and writes
// set the OVERLAPPED's event and leave the operation's status in it, as the system does.
class WinComm
{
public:
    virtual ~WinComm() = default;

    // CreateFileW(path, read and write, no sharing, OPEN_EXISTING, FILE_FLAG_OVERLAPPED).
    virtual HANDLE open(const wchar_t *path) = 0;
    virtual BOOL getState(HANDLE port, DCB *dcb) = 0;
    virtual BOOL setState(HANDLE port, DCB *dcb) = 0;
    virtual BOOL setTimeouts(HANDLE port, COMMTIMEOUTS *timeouts) = 0;
    virtual BOOL purge(HANDLE port, DWORD flags) = 0;
    virtual BOOL clearError(HANDLE port, DWORD *errors, COMSTAT *status) = 0;
    // ReadFile and WriteFile with an OVERLAPPED and no byte count.
    virtual BOOL read(HANDLE port, void *buffer, DWORD size, OVERLAPPED *overlapped) = 0;
    virtual BOOL write(HANDLE port, const void *bytes, DWORD size, OVERLAPPED *overlapped) = 0;
    virtual BOOL result(HANDLE port, OVERLAPPED *overlapped, DWORD *transferred, BOOL wait) = 0;
    virtual BOOL cancel(HANDLE port, OVERLAPPED *overlapped) = 0;
    virtual BOOL close(HANDLE port) = 0;
};

// The system's own calls.
std::shared_ptr<WinComm> systemComm();

// The serial port's backend over `comm`.
std::unique_ptr<SerialBackend> windowsSerialBackend(std::shared_ptr<WinComm> comm);

// The line configuration to give SetCommState: `driver` (what GetCommState gave) with every field
// that decides how the line behaves set from `settings` or fixed, so that nothing a driver or an
// earlier program left behind carries over.
DCB lineConfiguration(const DCB &driver, const SerialSettings &settings);
