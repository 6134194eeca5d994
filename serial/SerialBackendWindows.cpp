#include "serial/SerialBackend.h"
#include "serial/WinComm.h"

#include "core/ComLinks.h"
#include "core/WindowsErrorText.h"
#include "serial/PortMessages.h"

#include <QTimer>
#include <QWinEventNotifier>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Big enough for any reply; a device that floods the port cannot make the buffer grow without end.
constexpr qsizetype ReadBufferSize = 1024;
// Commands are a few bytes: this much still waiting means the line is not taking them.
constexpr qsizetype MaxWaitingOutput = 4096;
constexpr int ReadAgainMilliseconds = 20;
// A cancelled operation ends when its driver completes it; one not over by then never will.
constexpr DWORD CancelWaitMilliseconds = 100;
// How often an open port's driver is asked whether the port is still there, so that a removal
// shows within a second also when the driver leaves the pending read pending.
constexpr int WatchMilliseconds = 500;

class SystemComm : public WinComm
{
public:
    HANDLE open(const wchar_t *path) override
    {
        return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    }
    BOOL getState(HANDLE port, DCB *dcb) override { return GetCommState(port, dcb); }
    BOOL setState(HANDLE port, DCB *dcb) override { return SetCommState(port, dcb); }
    BOOL setTimeouts(HANDLE port, COMMTIMEOUTS *timeouts) override
    {
        return SetCommTimeouts(port, timeouts);
    }
    BOOL purge(HANDLE port, DWORD flags) override { return PurgeComm(port, flags); }
    BOOL clearError(HANDLE port, DWORD *errors, COMSTAT *status) override
    {
        return ClearCommError(port, errors, status);
    }
    BOOL read(HANDLE port, void *buffer, DWORD size, OVERLAPPED *overlapped) override
    {
        return ReadFile(port, buffer, size, nullptr, overlapped);
    }
    BOOL write(HANDLE port, const void *bytes, DWORD size, OVERLAPPED *overlapped) override
    {
        return WriteFile(port, bytes, size, nullptr, overlapped);
    }
    BOOL result(HANDLE port, OVERLAPPED *overlapped, DWORD *transferred, BOOL wait) override
    {
        return GetOverlappedResult(port, overlapped, transferred, wait);
    }
    BOOL cancel(HANDLE port, OVERLAPPED *overlapped) override
    {
        return CancelIoEx(port, overlapped);
    }
    BOOL close(HANDLE port) override { return CloseHandle(port); }
};

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

// One overlapped operation: its OVERLAPPED with a manual-reset event, and its bytes, which
// must stay where they are until the operation is over.
struct Transfer
{
    Transfer() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Transfer() { CloseHandle(overlapped.hEvent); }
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

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

// An operation its driver did not end after its cancel may still write into its buffer and
// OVERLAPPED at any time: they stay allocated until the process ends.
void keepUntilExit(std::unique_ptr<Transfer> transfer)
{
    static auto *const kept = new std::vector<std::unique_ptr<Transfer>>;
    kept->push_back(std::move(transfer));
}

// The Windows serial API, overlapped: reads and writes finish through QWinEventNotifier while
// the event loop runs, so nothing blocks the window. COMn is the system's own \\.\COMn, opened
// exclusively.
class WindowsBackend : public SerialBackend
{
public:
    explicit WindowsBackend(std::shared_ptr<WinComm> comm)
        : m_comm(std::move(comm))
        , m_read(std::make_unique<Transfer>())
        , m_write(std::make_unique<Transfer>())
        , m_readDone(m_read->overlapped.hEvent)
        , m_writeDone(m_write->overlapped.hEvent)
    {
        QObject::connect(&m_readDone, &QWinEventNotifier::activated, &m_readDone,
                         [this] { finishRead(); });
        QObject::connect(&m_writeDone, &QWinEventNotifier::activated, &m_writeDone,
                         [this] { finishWrite(); });
        m_readAgain.setSingleShot(true);
        m_readAgain.setInterval(ReadAgainMilliseconds);
        QObject::connect(&m_readAgain, &QTimer::timeout, &m_readAgain, [this] { startRead(); });
        m_watch.setInterval(WatchMilliseconds);
        QObject::connect(&m_watch, &QTimer::timeout, &m_watch, [this] { stillThere(); });
    }

    ~WindowsBackend() override { close(); }

    QString open(int n, const SerialSettings &settings, const QString &settingsText,
                 QString &device) override
    {
        device = portName(n);
        m_device = device;
        const std::wstring path = L"\\\\.\\" + device.toStdWString();
        // No sharing: a second program (or a second open here) is refused while the port is open.
        m_handle = m_comm->open(path.c_str());
        if (m_handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return noSuchDeviceText(device);
            if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
                return inUseText(device);
            return systemFailureText(device, windowsErrorText(error));
        }
        const auto giveUp = [this](const QString &failure) {
            m_comm->close(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
            return failure;
        };

        DCB driver{};
        driver.DCBlength = sizeof driver;
        if (!m_comm->getState(m_handle, &driver)) {
            // Wine opens a COM name with nothing behind it, and fails here with "invalid function".
            const DWORD error = GetLastError();
            return giveUp(error == ERROR_INVALID_FUNCTION || portGone(error)
                              ? noSuchDeviceText(device)
                              : notSerialText(device, windowsErrorText(error)));
        }
        if (!configure(driver, settings))
            return giveUp(
                settingsRefusedText(device, settingsText, windowsErrorText(GetLastError())));
        // A read ends as soon as bytes have come and paused for a moment, and waits while nothing
        // comes: "A value of zero for both the ReadTotalTimeoutMultiplier and
        // ReadTotalTimeoutConstant members indicates that total time-outs are not used", and the
        // interval "begins when the first byte is received". The "return at once" timeouts
        // (MAXDWORD, 0, 0) would do on Windows, but wine keeps such a read pending until bytes
        // come. Writes have no time limit: without flow control the line always takes them.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = 1;
        // Whatever the device sent before anyone listened is stale.
        if (!m_comm->setTimeouts(m_handle, &timeouts) ||
            !m_comm->purge(m_handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
            return giveUp(systemFailureText(device, windowsErrorText(GetLastError())));

        m_input.clear();
        m_output.clear();
        if (const DWORD error = beginRead())
            return giveUp(systemFailureText(device, windowsErrorText(error)));
        m_watch.start();
        return {};
    }

    QString apply(const SerialSettings &settings) override
    {
        DCB driver{};
        driver.DCBlength = sizeof driver;
        if (m_comm->getState(m_handle, &driver) && configure(driver, settings))
            return {};
        const DWORD error = GetLastError();
        // SetCommState makes several requests of the driver; one refused may follow others taken.
        DCB earlier = m_applied;
        m_comm->setState(m_handle, &earlier);
        return windowsErrorText(error);
    }

    void close() override
    {
        if (!isOpen())
            return;
        m_readAgain.stop();
        m_watch.stop();
        // A cancel that does not end leaves nothing to wait for here: the handle goes either way.
        cancel(m_read, m_readDone);
        cancel(m_write, m_writeDone);
        m_comm->close(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        m_input.clear();
        m_output.clear();
    }

    bool isOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

    // Takes what a finished read brought (its notification may still be on its way) and asks the
    // driver about the port.
    bool stillThere() override
    {
        if (!isOpen())
            return false;
        finishRead();
        return isOpen() && driverAnswers();
    }

    bool discardOutput() override
    {
        if (!cancel(m_write, m_writeDone))
            return cancelNeverEnded();
        m_output.clear();
        if (!m_comm->purge(m_handle, PURGE_TXABORT | PURGE_TXCLEAR))
            return ioFailed(GetLastError(), QStringLiteral("discarding output"));
        return true;
    }

    bool discardInput() override
    {
        m_readAgain.stop();
        if (!cancel(m_read, m_readDone))
            return cancelNeverEnded();
        m_input.clear();
        if (!m_comm->purge(m_handle, PURGE_RXABORT | PURGE_RXCLEAR))
            return ioFailed(GetLastError(), QStringLiteral("discarding input"));
        startRead();
        return isOpen();
    }

    bool write(const QByteArray &bytes) override
    {
        if (m_output.size() + bytes.size() > MaxWaitingOutput) {
            reportFailure(ioFailedText(
                m_device, QStringLiteral("write"),
                QStringLiteral("%1 bytes still waiting to go out")
                    .arg(m_output.size() + (m_write->pending ? m_write->bytes.size() : 0))));
            return false;
        }
        m_output.append(bytes);
        return startWrite();
    }

    bool read(QByteArray &received) override
    {
        received.append(m_input);
        m_input.clear();
        if (!m_readAgain.isActive())
            startRead();
        return isOpen();
    }

private:
    bool configure(const DCB &driver, const SerialSettings &settings)
    {
        DCB wanted = lineConfiguration(driver, settings);
        if (!m_comm->setState(m_handle, &wanted))
            return false;
        m_applied = wanted;
        return true;
    }

    // 0 when a read is pending or done (its event then set), else the error.
    DWORD beginRead()
    {
        if (m_read->pending)
            return 0;
        const qsizetype room = ReadBufferSize - m_input.size();
        if (room <= 0)
            return 0; // read() makes room and starts again
        m_read->bytes.resize(room);
        if (m_comm->read(m_handle, m_read->bytes.data(), DWORD(room), m_read->fresh()) ||
            GetLastError() == ERROR_IO_PENDING) {
            m_read->pending = true;
            return 0;
        }
        return GetLastError();
    }

    // The read kept pending is how the port hears both of arrival and of loss. WaitCommEvent is
    // not used: under wine an overlapped wait on a pseudo-terminal ends at once with
    // ERROR_OPERATION_ABORTED, whatever arrives, and would turn into a busy loop.
    void startRead()
    {
        if (!isOpen())
            return;
        if (const DWORD error = beginRead())
            ioFailed(error, QStringLiteral("read"));
    }

    // How an operation ended, once its driver has ended it; nothing while it still runs.
    struct Ended
    {
        DWORD count = 0;
        BOOL ok = FALSE;
        DWORD error = 0;
    };
    std::optional<Ended> collect(Transfer &transfer)
    {
        if (!transfer.pending || !transfer.done())
            return std::nullopt;
        transfer.pending = false;
        Ended ended;
        ended.ok = m_comm->result(m_handle, &transfer.overlapped, &ended.count, FALSE);
        ended.error = ended.ok ? 0 : GetLastError(); // before anything else can change it
        ResetEvent(transfer.overlapped.hEvent);
        return ended;
    }

    void finishRead()
    {
        const std::optional<Ended> ended = collect(*m_read);
        if (!ended)
            return;
        const DWORD received = ended->count;
        m_input.append(m_read->bytes.constData(), qsizetype(received));
        if (!ended->ok) {
            ioFailed(ended->error, QStringLiteral("read"));
            if (!isOpen())
                return;
        }
        if (received > 0) {
            startRead();
            return;
        }
        // With the timeouts set at open a read ends only after a byte has come: one that ends
        // with nothing is a driver losing its port, which some tell only through ClearCommError.
        if (driverAnswers())
            m_readAgain.start();
    }

    bool startWrite()
    {
        if (m_write->pending || m_output.isEmpty())
            return true;
        m_write->bytes = m_output;
        m_output.clear();
        if (m_comm->write(m_handle, m_write->bytes.constData(), DWORD(m_write->bytes.size()),
                          m_write->fresh()) ||
            GetLastError() == ERROR_IO_PENDING) {
            m_write->pending = true;
            return true;
        }
        const DWORD error = GetLastError();
        m_write->bytes.clear();
        return ioFailed(error, QStringLiteral("write"));
    }

    void finishWrite()
    {
        const std::optional<Ended> ended = collect(*m_write);
        if (!ended)
            return;
        const DWORD written = ended->count;
        const QByteArray sent = std::exchange(m_write->bytes, QByteArray());
        if (!ended->ok) {
            ioFailed(ended->error, QStringLiteral("write"));
            if (!isOpen())
                return;
        } else if (written == 0 && !sent.isEmpty()) {
            reportFailure(
                ioFailedText(m_device, QStringLiteral("write"),
                             QStringLiteral("the driver took none of %1 bytes").arg(sent.size())));
        } else if (qsizetype(written) < sent.size()) {
            // A driver may end a write with part of it sent: the rest goes first, ahead of
            // anything written since.
            m_output.prepend(sent.mid(qsizetype(written)));
        }
        startWrite();
    }

    // True when the operation is over. CancelIoEx only asks: the operation ends when its
    // driver completes it, and GetOverlappedResult's wait for that has no bound. A driver that
    // never completes it would freeze the window, so the wait is bounded and an operation still
    // running after it is given up, its buffer and OVERLAPPED kept for the driver.
    bool cancel(std::unique_ptr<Transfer> &transfer, QWinEventNotifier &notifier)
    {
        if (!transfer->pending)
            return true;
        m_comm->cancel(m_handle, &transfer->overlapped);
        if (WaitForSingleObject(transfer->overlapped.hEvent, CancelWaitMilliseconds) ==
            WAIT_OBJECT_0) {
            DWORD ignored = 0;
            m_comm->result(m_handle, &transfer->overlapped, &ignored, FALSE);
            ResetEvent(transfer->overlapped.hEvent);
            transfer->pending = false;
            transfer->bytes.clear();
            return true;
        }
        keepUntilExit(std::move(transfer));
        transfer = std::make_unique<Transfer>();
        notifier.setHandle(transfer->overlapped.hEvent);
        notifier.setEnabled(true);
        return false;
    }

    bool cancelNeverEnded()
    {
        loseDevice(QStringLiteral("its driver did not end a cancelled transfer"));
        return false;
    }

    bool driverAnswers()
    {
        DWORD errors = 0;
        COMSTAT status{};
        if (m_comm->clearError(m_handle, &errors, &status))
            return true;
        loseDevice(windowsErrorText(GetLastError()));
        return false;
    }

    // Returns false. A port that is gone is closed and reported lost; any other failure is
    // reported with the port left open.
    bool ioFailed(DWORD error, const QString &what)
    {
        if (portGone(error)) {
            loseDevice(windowsErrorText(error));
            return false;
        }
        if (driverAnswers())
            reportFailure(ioFailedText(m_device, what, windowsErrorText(error)));
        return false;
    }

    void loseDevice(const QString &reason)
    {
        close();
        reportLost(reason);
    }

    std::shared_ptr<WinComm> m_comm;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    QString m_device;
    // What SetCommState last took.
    DCB m_applied{};
    std::unique_ptr<Transfer> m_read;
    std::unique_ptr<Transfer> m_write;
    QWinEventNotifier m_readDone;
    QWinEventNotifier m_writeDone;
    // A read that ended with nothing is started again after a pause, never in a tight loop.
    QTimer m_readAgain;
    QTimer m_watch;
    // Received and not yet read; at most ReadBufferSize bytes, the rest waits in the driver.
    QByteArray m_input;
    // Waiting for the write in flight to finish.
    QByteArray m_output;
};

} // namespace

DCB lineConfiguration(const DCB &driver, const SerialSettings &settings)
{
    DCB dcb = driver;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityCode(settings.parity);
    dcb.fParity = settings.parity != SerialSettings::Parity::None;
    dcb.StopBits = stopBitsCode(settings);
    // "Windows does not support nonbinary mode transfers, so this member must be TRUE."
    dcb.fBinary = TRUE;
    // No flow control of any kind, in either direction.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    // DTR and RTS up, as a terminal program and the Linux port leave them.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // Bytes pass as they came: none replaced, no NUL dropped, no end-of-data or event character.
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    // A framing or parity error must not stall every read and write until someone clears it.
    dcb.fAbortOnError = FALSE;
    // Unused without XON/XOFF, but checked all the same: "The SetCommState function fails if the
    // XonChar member of the DCB structure is equal to the XoffChar member", and drivers leave both
    // 0; limits an earlier program left (16128 and 15872) have hung SetCommState on an adapter.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 256;
    dcb.XoffLim = 256;
    // "Reserved; must be zero."
    dcb.wReserved = 0;
    return dcb;
}

std::shared_ptr<WinComm> systemComm()
{
    static const auto comm = std::make_shared<SystemComm>();
    return comm;
}

std::unique_ptr<SerialBackend> windowsSerialBackend(std::shared_ptr<WinComm> comm)
{
    return std::make_unique<WindowsBackend>(std::move(comm));
}

std::unique_ptr<SerialBackend> systemSerialBackend()
{
    return windowsSerialBackend(systemComm());
}

QStringList systemComToolTips()
{
    QStringList tips;
    wchar_t target[MAX_PATH];
    for (int n = tolvane::kFirstCom; n <= tolvane::kLastCom; ++n) {
        const QString name = portName(n);
        // Asks the system's name table only; nothing is opened.
        if (QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, MAX_PATH))
            tips << QStringLiteral("%1: present now (%2)")
                        .arg(name, QString::fromWCharArray(target));
        else
            tips << QStringLiteral("%1: not present now").arg(name);
    }
    return tips;
}
