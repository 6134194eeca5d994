#include "ScriptedComm.h"

#include <QThread>

#include <algorithm>
#include <cstring>

namespace {

const HANDLE Port = reinterpret_cast<HANDLE>(std::intptr_t(0x5e51a1));
// The driver's input queue: SetCommState refuses flow-control limits beyond it.
constexpr WORD QueueSize = 4096;

BOOL failWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

} // namespace

ScriptedComm::ScriptedComm()
{
    state.DCBlength = sizeof state;
    state.BaudRate = 9600;
    state.ByteSize = 8;
    state.fBinary = TRUE;
    state.XonChar = 0x11;
    state.XoffChar = 0x13;
    state.XonLim = 2048;
    state.XoffLim = 512;
}

ScriptedComm::~ScriptedComm()
{
    for (std::thread &late : m_late)
        late.join();
}

// The status goes where HasOverlappedIoCompleted looks, then the event is set: the order the
// system keeps. The status is a Windows error code here; only result() reads it.
void ScriptedComm::end(OVERLAPPED *overlapped, DWORD error, DWORD count)
{
    overlapped->InternalHigh = count;
    overlapped->Internal = error;
    SetEvent(overlapped->hEvent);
}

BOOL ScriptedComm::pending(OVERLAPPED *overlapped)
{
    overlapped->Internal = STATUS_PENDING;
    ResetEvent(overlapped->hEvent);
    return failWith(ERROR_IO_PENDING);
}

void ScriptedComm::arrive(const QByteArray &bytes)
{
    m_input.append(bytes);
    fillRead();
}

void ScriptedComm::fillRead()
{
    if (!m_read || m_input.isEmpty())
        return;
    const DWORD count = std::min<DWORD>(m_readSize, DWORD(m_input.size()));
    std::memcpy(m_readBuffer, m_input.constData(), count);
    m_input.remove(0, qsizetype(count));
    end(std::exchange(m_read, nullptr), 0, count);
}

void ScriptedComm::endRead(DWORD error)
{
    if (m_read)
        end(std::exchange(m_read, nullptr), error, 0);
}

HANDLE ScriptedComm::open(const wchar_t *path)
{
    if (path == absentPath) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return Port;
}

BOOL ScriptedComm::getState(HANDLE, DCB *dcb)
{
    *dcb = state;
    return TRUE;
}

// "The SetCommState function fails if the XonChar member of the DCB structure is equal to the
// XoffChar member"; limits the queue cannot hold are refused as the serial driver refuses them.
BOOL ScriptedComm::setState(HANDLE, DCB *dcb)
{
    ++setStateCalls;
    if (dcb->XonChar == dcb->XoffChar || dcb->XonLim > QueueSize || dcb->XoffLim > QueueSize)
        return failWith(ERROR_INVALID_PARAMETER);
    state = *dcb;
    return TRUE;
}

BOOL ScriptedComm::setTimeouts(HANDLE, COMMTIMEOUTS *)
{
    return TRUE;
}

BOOL ScriptedComm::purge(HANDLE, DWORD flags)
{
    if (flags & PURGE_RXABORT)
        endRead(ERROR_OPERATION_ABORTED);
    if (flags & PURGE_RXCLEAR)
        m_input.clear();
    return TRUE;
}

BOOL ScriptedComm::clearError(HANDLE, DWORD *errors, COMSTAT *status)
{
    if (statusError)
        return failWith(statusError);
    *errors = 0;
    *status = COMSTAT{};
    status->cbInQue = DWORD(m_input.size());
    return TRUE;
}

BOOL ScriptedComm::read(HANDLE, void *buffer, DWORD size, OVERLAPPED *overlapped)
{
    ++reads;
    if (emptyReads) {
        end(overlapped, 0, 0);
        return TRUE;
    }
    m_read = overlapped;
    m_readBuffer = static_cast<char *>(buffer);
    m_readSize = size;
    const BOOL result = pending(overlapped);
    fillRead();
    return result;
}

BOOL ScriptedComm::write(HANDLE, const void *bytes, DWORD size, OVERLAPPED *overlapped)
{
    pending(overlapped);
    if (writeError) {
        end(overlapped, writeError, 0);
    } else {
        const DWORD sent = shortWrites && size > 1 ? size / 2 : size;
        line.append(static_cast<const char *>(bytes), qsizetype(sent));
        end(overlapped, 0, sent);
    }
    return failWith(ERROR_IO_PENDING);
}

BOOL ScriptedComm::result(HANDLE, OVERLAPPED *overlapped, DWORD *transferred, BOOL wait)
{
    if (overlapped->Internal == STATUS_PENDING) {
        // Waiting here would wait for good on a transfer that never ends: count it instead.
        if (wait)
            ++unboundedWaits;
        return failWith(ERROR_IO_INCOMPLETE);
    }
    *transferred = DWORD(overlapped->InternalHigh);
    if (overlapped->Internal != 0)
        return failWith(DWORD(overlapped->Internal));
    return TRUE;
}

BOOL ScriptedComm::cancel(HANDLE, OVERLAPPED *overlapped)
{
    if (overlapped->Internal != STATUS_PENDING)
        return failWith(ERROR_NOT_FOUND);
    char *const readBuffer = overlapped == m_read ? m_readBuffer : nullptr;
    if (overlapped == m_read)
        m_read = nullptr;
    switch (cancelMode) {
    case Cancel::Prompt:
        end(overlapped, ERROR_OPERATION_ABORTED, 0);
        break;
    case Cancel::Late:
        // The driver still owns the transfer and writes into it when it finally ends it.
        m_late.emplace_back([overlapped, buffer = readBuffer, ms = lateMilliseconds] {
            QThread::msleep(ulong(ms));
            if (buffer)
                buffer[0] = '!';
            end(overlapped, ERROR_OPERATION_ABORTED, 0);
        });
        break;
    case Cancel::Never:
        break;
    }
    return TRUE;
}

BOOL ScriptedComm::close(HANDLE)
{
    ++closes;
    return TRUE;
}
