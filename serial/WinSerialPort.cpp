#include "serial/WinSerialPort.h"

#include "core/ComLinks.h"
#include "core/WindowsErrorText.h"

#include <windows.h>

namespace {

// Big enough for any reply; a device that floods the port cannot make the buffer grow without end.
constexpr qsizetype ReadBufferSize = 1024;
// Commands are a few bytes: this much still waiting means the line is not taking them.
constexpr qsizetype MaxWaitingOutput = 4096;
constexpr int ReadAgainMilliseconds = 20;

QString portName(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

// Errors with which the driver says the port itself is gone: a USB adapter pulled out (Windows),
// the other end of the line closed (a pseudo-terminal under wine).
bool portGone(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NOT_READY:
    // All I/O runs on this thread and only cancel() cancels it, which consumes its own
    // completions: an abort seen anywhere else comes from the driver.
    case ERROR_OPERATION_ABORTED:
        return true;
    default:
        return false;
    }
}

BYTE stopBitsCode(const SerialSettings &settings)
{
    switch (settings.stopBits) {
    case SerialSettings::StopBits::One:
        return ONESTOPBIT;
    case SerialSettings::StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case SerialSettings::StopBits::Two:
        break;
    }
    // A UART sends 1.5 stop bits for "two" when it has 5 data bits, and Windows accepts only that.
    return settings.dataBits == 5 ? ONE5STOPBITS : TWOSTOPBITS;
}

BYTE parityCode(SerialSettings::Parity parity)
{
    switch (parity) {
    case SerialSettings::Parity::Even:
        return EVENPARITY;
    case SerialSettings::Parity::Odd:
        return ODDPARITY;
    case SerialSettings::Parity::Mark:
        return MARKPARITY;
    case SerialSettings::Parity::Space:
        return SPACEPARITY;
    case SerialSettings::Parity::None:
        break;
    }
    return NOPARITY;
}

} // namespace

// One overlapped operation: its OVERLAPPED with a manual-reset event, and its bytes, which
// must stay where they are until the operation is over.
struct WinSerialPort::Transfer
{
    Transfer()
    {
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Transfer()
    {
        CloseHandle(overlapped.hEvent);
    }
    OVERLAPPED *fresh()
    {
        const HANDLE event = overlapped.hEvent;
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        return &overlapped;
    }
    bool done() const { return HasOverlappedIoCompleted(&overlapped); }

    OVERLAPPED overlapped{};
    QByteArray bytes;
    bool pending = false;
};

WinSerialPort::WinSerialPort(QObject *parent)
    : QObject(parent)
    , m_handle(INVALID_HANDLE_VALUE)
    , m_read(new Transfer)
    , m_write(new Transfer)
    , m_readDone(m_read->overlapped.hEvent)
    , m_writeDone(m_write->overlapped.hEvent)
{
    connect(&m_readDone, &QWinEventNotifier::activated, this, &WinSerialPort::finishRead);
    connect(&m_writeDone, &QWinEventNotifier::activated, this, &WinSerialPort::finishWrite);
    m_readAgain.setSingleShot(true);
    m_readAgain.setInterval(ReadAgainMilliseconds);
    connect(&m_readAgain, &QTimer::timeout, this, &WinSerialPort::startRead);
}

WinSerialPort::~WinSerialPort()
{
    closePort();
}

bool WinSerialPort::setPortNumber(std::int16_t n)
{
    if (isOpen())
        return false;
    if (n < tolvane::kFirstCom || n > tolvane::kLastCom) {
        fail(QStringLiteral("COM%1 is outside COM%2..COM%3")
                 .arg(n)
                 .arg(tolvane::kFirstCom)
                 .arg(tolvane::kLastCom));
        return false;
    }
    m_portNumber = n;
    return true;
}

bool WinSerialPort::setSettings(const QString &settings)
{
    const std::optional<SerialSettings> parsed = SerialSettings::parse(settings);
    if (!parsed) {
        fail(QStringLiteral("settings \"%1\" not understood (expected baud,parity,data bits,stop "
                            "bits such as 9600,N,8,1)")
                 .arg(settings));
        return false;
    }
    if (isOpen() && !applySettings(*parsed)) {
        const QString reason = windowsErrorText(GetLastError());
        applySettings(m_settings);
        fail(QStringLiteral("%1 refused the settings %2 (%3)")
                 .arg(m_currentDevice, settings, reason));
        return false;
    }
    m_settings = *parsed;
    m_settingsText = settings.trimmed();
    return true;
}

bool WinSerialPort::setReadLength(int length)
{
    if (length == 0)
        return true;
    fail(QStringLiteral("read length %1 is not supported (only 0: everything received)")
             .arg(length));
    return false;
}

bool WinSerialPort::setOpen(bool open)
{
    return open ? this->open() : close();
}

bool WinSerialPort::open()
{
    if (isOpen())
        return false;

    m_currentDevice = portName(m_portNumber);
    const std::wstring path = L"\\\\.\\" + m_currentDevice.toStdWString();
    // No sharing: a second program (or a second open here) is refused while the port is open.
    m_handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            fail(QStringLiteral("no such device: %1").arg(m_currentDevice));
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            fail(QStringLiteral("%1 is in use by another program").arg(m_currentDevice));
        else
            fail(QStringLiteral("%1: %2").arg(m_currentDevice, windowsErrorText(error)));
        return false;
    }
    const auto giveUp = [this](const QString &failure) {
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        fail(failure);
        return false;
    };

    DCB current{};
    current.DCBlength = sizeof current;
    if (!GetCommState(m_handle, &current)) {
        // Wine opens a COM name with nothing behind it, and fails here with "invalid function".
        const DWORD error = GetLastError();
        return giveUp(error == ERROR_INVALID_FUNCTION || portGone(error)
                          ? QStringLiteral("no such device: %1").arg(m_currentDevice)
                          : QStringLiteral("%1 is not a serial port (%2)")
                                .arg(m_currentDevice, windowsErrorText(error)));
    }
    if (!applySettings(m_settings)) {
        return giveUp(QStringLiteral("%1 refused the settings %2 (%3)")
                          .arg(m_currentDevice, m_settingsText, windowsErrorText(GetLastError())));
    }
    // A read ends as soon as bytes have come and paused for a moment, and waits while nothing
    // comes. The "return at once" timeouts (MAXDWORD, 0, 0) would do on Windows, but wine keeps
    // such a read pending until bytes come: a read pending until they arrive behaves the same on
    // both. Writes have no time limit: without flow control the line always takes them.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    // Whatever the device sent before anyone listened is stale.
    if (!SetCommTimeouts(m_handle, &timeouts) ||
        !PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        return giveUp(QStringLiteral("%1: %2").arg(m_currentDevice, windowsErrorText(GetLastError())));

    m_input.clear();
    m_output.clear();
    m_lastFailure.clear();
    startRead();
    if (!isOpen())
        return false;
    emit stateChanged();
    return true;
}

bool WinSerialPort::close()
{
    if (!isOpen())
        return true;
    closePort();
    m_lastFailure.clear();
    emit stateChanged();
    return true;
}

void WinSerialPort::release()
{
    closePort();
}

void WinSerialPort::closePort()
{
    if (!isOpen())
        return;
    m_readAgain.stop();
    cancel(*m_read);
    cancel(*m_write);
    CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_input.clear();
    m_output.clear();
}

bool WinSerialPort::applySettings(const SerialSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb))
        return false;
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityCode(settings.parity);
    dcb.fParity = settings.parity != SerialSettings::Parity::None;
    dcb.StopBits = stopBitsCode(settings);
    dcb.fBinary = TRUE;
    // No flow control; DTR and RTS stay up, as a terminal program leaves them.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // A framing or parity error must not stall every read until someone clears it.
    dcb.fAbortOnError = FALSE;
    return SetCommState(m_handle, &dcb);
}

// The read kept pending is how the port hears both of arrival and of loss. WaitCommEvent is not
// used: under wine an overlapped wait on a pseudo-terminal ends at once with
// ERROR_OPERATION_ABORTED, whatever arrives, and would turn into a busy loop.
void WinSerialPort::startRead()
{
    if (!isOpen() || m_read->pending)
        return;
    const qsizetype room = ReadBufferSize - m_input.size();
    if (room <= 0)
        return; // read() makes room and starts again
    m_read->bytes.resize(room);
    if (ReadFile(m_handle, m_read->bytes.data(), DWORD(room), nullptr, m_read->fresh()) ||
        GetLastError() == ERROR_IO_PENDING) {
        // Finished or not, the event is set when it is over and finishRead() takes the bytes.
        m_read->pending = true;
        return;
    }
    ioFailed(GetLastError(), QStringLiteral("read"));
}

void WinSerialPort::finishRead()
{
    if (!m_read->pending || !m_read->done())
        return;
    m_read->pending = false;
    DWORD received = 0;
    const bool ok = GetOverlappedResult(m_handle, &m_read->overlapped, &received, FALSE);
    const DWORD error = ok ? 0 : GetLastError();
    ResetEvent(m_read->overlapped.hEvent);
    m_input.append(m_read->bytes.constData(), qsizetype(received));
    if (!ok) {
        ioFailed(error, QStringLiteral("read"));
        if (!isOpen())
            return;
    }
    if (received == 0)
        m_readAgain.start();
    else
        startRead();
}

bool WinSerialPort::startWrite()
{
    if (m_write->pending || m_output.isEmpty())
        return true;
    m_write->bytes = m_output;
    m_output.clear();
    if (WriteFile(m_handle, m_write->bytes.constData(), DWORD(m_write->bytes.size()), nullptr,
                  m_write->fresh()) ||
        GetLastError() == ERROR_IO_PENDING) {
        m_write->pending = true;
        return true;
    }
    const DWORD error = GetLastError();
    m_write->bytes.clear();
    return ioFailed(error, QStringLiteral("write"));
}

void WinSerialPort::finishWrite()
{
    if (!m_write->pending || !m_write->done())
        return;
    m_write->pending = false;
    DWORD written = 0;
    const bool ok = GetOverlappedResult(m_handle, &m_write->overlapped, &written, FALSE);
    const DWORD error = ok ? 0 : GetLastError();
    ResetEvent(m_write->overlapped.hEvent);
    m_write->bytes.clear();
    if (!ok) {
        ioFailed(error, QStringLiteral("write"));
        if (!isOpen())
            return;
    }
    startWrite();
}

// Waits for the cancelled operation to be over, so its buffer and OVERLAPPED are free again.
void WinSerialPort::cancel(Transfer &transfer)
{
    if (!transfer.pending)
        return;
    CancelIoEx(m_handle, &transfer.overlapped);
    DWORD ignored = 0;
    GetOverlappedResult(m_handle, &transfer.overlapped, &ignored, TRUE);
    ResetEvent(transfer.overlapped.hEvent);
    transfer.pending = false;
    transfer.bytes.clear();
}

bool WinSerialPort::discardOutput()
{
    if (!deviceStillThere())
        return false;
    cancel(*m_write);
    m_output.clear();
    if (!PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR))
        return ioFailed(GetLastError(), QStringLiteral("discarding output"));
    return true;
}

bool WinSerialPort::discardInput()
{
    if (!deviceStillThere())
        return false;
    m_readAgain.stop();
    cancel(*m_read);
    m_input.clear();
    if (!PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR))
        return ioFailed(GetLastError(), QStringLiteral("discarding input"));
    startRead();
    return isOpen();
}

bool WinSerialPort::write(const QByteArray &bytes)
{
    if (!deviceStillThere())
        return false;
    if (m_output.size() + bytes.size() > MaxWaitingOutput) {
        fail(QStringLiteral("%1: write failed: %2 bytes still waiting to go out")
                 .arg(m_currentDevice)
                 .arg(m_output.size() + (m_write->pending ? m_write->bytes.size() : 0)));
        return false;
    }
    m_output.append(bytes);
    return startWrite();
}

bool WinSerialPort::read(QByteArray &received)
{
    if (!deviceStillThere())
        return false;
    received.append(m_input);
    m_input.clear();
    if (!m_readAgain.isActive())
        startRead();
    return isOpen();
}

bool WinSerialPort::isOpen() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

// Takes what a finished read brought (its notification may still be on its way) and asks the
// driver about the port; a port that is gone is closed here.
bool WinSerialPort::deviceStillThere()
{
    if (!isOpen())
        return false;
    finishRead();
    if (!isOpen())
        return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(m_handle, &errors, &status))
        return true;
    loseDevice(GetLastError());
    return false;
}

// Returns false. A port that is gone is closed and reported lost; any other failure is kept
// in lastFailure() with the port left open.
bool WinSerialPort::ioFailed(unsigned long error, const QString &what)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (portGone(error) || !ClearCommError(m_handle, &errors, &status)) {
        loseDevice(error);
        return false;
    }
    fail(QStringLiteral("%1: %2 failed: %3").arg(m_currentDevice, what, windowsErrorText(error)));
    return false;
}

void WinSerialPort::loseDevice(unsigned long error)
{
    closePort();
    fail(QStringLiteral("%1: device went away (%2)")
             .arg(m_currentDevice, windowsErrorText(error)));
    emit deviceLost();
}

void WinSerialPort::fail(const QString &failure)
{
    m_lastFailure = failure;
    emit stateChanged();
}

QStringList WinSerialPort::comToolTips()
{
    QStringList tips;
    wchar_t target[MAX_PATH];
    for (int n = tolvane::kFirstCom; n <= tolvane::kLastCom; ++n) {
        const QString name = portName(n);
        // Asks the system's name table only; nothing is opened.
        if (QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, MAX_PATH))
            tips << QStringLiteral("%1: present now (%2)").arg(name, QString::fromWCharArray(target));
        else
            tips << QStringLiteral("%1: not present now").arg(name);
    }
    return tips;
}
