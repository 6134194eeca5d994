#pragma once

#include "serial/WinComm.h"

#include <QByteArray>

#include <string>
#include <thread>
#include <vector>

// A Windows serial driver played from a script: what its calls return, and when and how its
// transfers end, set field by field by a test. Transfers end as the system ends them: the status
// and count go into the OVERLAPPED, then its event is set.
class ScriptedComm : public WinComm
{
public:
    enum class Cancel {
        Prompt, // ends the transfer at once, aborted
        Late,   // ends it `lateMilliseconds` later, from another thread
        Never,  // leaves it pending for good
    };

    ScriptedComm();
    ~ScriptedComm() override;

    // The script.
    DCB state{};              // what GetCommState gives; SetCommState replaces it
    std::wstring absentPath;  // CreateFileW of this path fails: no such file
    DWORD statusError = 0;    // ClearCommError fails with it
    DWORD writeError = 0;     // writes end with it
    bool emptyReads = false;  // reads end at once with 0 bytes
    bool shortWrites = false; // writes end having sent half their bytes
    Cancel cancelMode = Cancel::Prompt;
    int lateMilliseconds = 0;

    // What the port did.
    QByteArray line; // every byte the writes sent, in order
    int setStateCalls = 0;
    int reads = 0;
    int closes = 0;
    int unboundedWaits = 0; // GetOverlappedResult waits on a transfer still pending

    // The device's side.
    void arrive(const QByteArray &bytes);
    // Ends the pending read with `error` (0: ended with nothing).
    void endRead(DWORD error);

    HANDLE open(const wchar_t *path) override;
    BOOL getState(HANDLE port, DCB *dcb) override;
    BOOL setState(HANDLE port, DCB *dcb) override;
    BOOL setTimeouts(HANDLE port, COMMTIMEOUTS *timeouts) override;
    BOOL purge(HANDLE port, DWORD flags) override;
    BOOL clearError(HANDLE port, DWORD *errors, COMSTAT *status) override;
    BOOL read(HANDLE port, void *buffer, DWORD size, OVERLAPPED *overlapped) override;
    BOOL write(HANDLE port, const void *bytes, DWORD size, OVERLAPPED *overlapped) override;
    BOOL result(HANDLE port, OVERLAPPED *overlapped, DWORD *transferred, BOOL wait) override;
    BOOL cancel(HANDLE port, OVERLAPPED *overlapped) override;
    BOOL close(HANDLE port) override;

private:
    static void end(OVERLAPPED *overlapped, DWORD error, DWORD count);
    BOOL pending(OVERLAPPED *overlapped);
    void fillRead();

    QByteArray m_input;
    OVERLAPPED *m_read = nullptr;
    char *m_readBuffer = nullptr;
    DWORD m_readSize = 0;
    std::vector<std::thread> m_late;
};
