// The Windows port against what real serial drivers do, replayed by a scripted driver: one row
// per behaviour. Wine's COM ports are pseudo-terminals and do none of it.
#include "PortFixture.h"
#include "ScriptedComm.h"

#include "core/ComLinks.h"
#include "core/WindowsErrorText.h"

#include <QtGlobal>

namespace {

// The errors with which drivers report a removed adapter.
const std::pair<DWORD, const char *> UnplugErrors[] = {
    {ERROR_ACCESS_DENIED, "AccessDenied"},
    {ERROR_BAD_COMMAND, "BadCommand"},
    {ERROR_GEN_FAILURE, "GenFailure"},
    {ERROR_DEVICE_NOT_CONNECTED, "DeviceNotConnected"},
    {ERROR_OPERATION_ABORTED, "OperationAborted"},
};

// A port over a scripted driver, open on COM1 as the window uses it.
struct Driver
{
    Driver()
    {
        QObject::connect(&port, &PlatformSerialPort::deviceLost, [this] { ++losses; });
    }

    // Seen gone: grey (lost once, the reason in its words), the handle closed once, and
    // nothing left running that would touch the driver again.
    void expectLost(const QString &reason)
    {
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(losses, 1);
        EXPECT_EQ(port.lastFailure(), "COM1: device went away (" + reason + ")");
        EXPECT_EQ(comm->closes, 1);
        const int reads = comm->reads;
        QTest::qWait(100);
        QByteArray received;
        EXPECT_FALSE(port.read(received));
        EXPECT_FALSE(port.write("#01\r"));
        EXPECT_EQ(comm->reads, reads);
        EXPECT_EQ(comm->closes, 1);
        EXPECT_EQ(losses, 1);
        EXPECT_EQ(comm->unboundedWaits, 0);
    }

    // Bytes from the device reach read().
    void expectWorking()
    {
        ASSERT_TRUE(port.isOpen());
        comm->arrive("ok\r");
        QByteArray received;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !port.read(received) || received.size() >= 3; }));
        EXPECT_EQ(received, QByteArray("ok\r"));
    }

    std::shared_ptr<ScriptedComm> comm = std::make_shared<ScriptedComm>();
    PlatformSerialPort port{windowsSerialBackend(comm)};
    int losses = 0;
};

struct Row
{
    std::string name;
    std::function<void(Driver &)> run;
};

void PrintTo(const Row &row, std::ostream *out)
{
    *out << row.name;
}

std::vector<Row> rows()
{
    std::vector<Row> table{
        // A driver's own DCB at an open (some leave XonChar == XoffChar == 0, an earlier program
        // its limits, handshakes and abort-on-error): nothing of it may decide the line.
        {"DirtyDriverStateIsReplacedWhole",
         [](Driver &d) {
             ASSERT_TRUE(d.port.setOpen(false));
             DCB &dirty = d.comm->state;
             dirty.XonChar = dirty.XoffChar = 0;
             dirty.XonLim = 15872;
             dirty.XoffLim = 16128;
             dirty.fBinary = FALSE;
             dirty.fOutxCtsFlow = dirty.fOutxDsrFlow = dirty.fDsrSensitivity = TRUE;
             dirty.fOutX = dirty.fInX = TRUE;
             dirty.fTXContinueOnXoff = FALSE;
             dirty.fDtrControl = DTR_CONTROL_HANDSHAKE;
             dirty.fRtsControl = RTS_CONTROL_TOGGLE;
             dirty.fErrorChar = dirty.fNull = dirty.fAbortOnError = TRUE;
             dirty.ErrorChar = '?';
             dirty.EofChar = 0x1a;
             dirty.EvtChar = '\r';
             dirty.wReserved = 7;
             dirty.fDummy2 = 5;
             dirty.wReserved1 = 9;
             ASSERT_TRUE(d.port.setSettings("9600,E,7,2") && d.port.setOpen(true))
                 << d.port.lastFailure();
             const DCB &line = d.comm->state;
             EXPECT_EQ(line.ByteSize, 7);
             EXPECT_EQ(line.Parity, EVENPARITY);
             EXPECT_EQ(line.fParity, 1u);
             EXPECT_EQ(line.fBinary, 1u);
             EXPECT_EQ(line.XonChar, 0x11);
             EXPECT_EQ(line.XoffChar, 0x13);
             EXPECT_LE(line.XonLim + line.XoffLim, 1024);
             EXPECT_EQ(line.fOutxCtsFlow + line.fOutxDsrFlow + line.fDsrSensitivity + line.fOutX +
                           line.fInX,
                       0);
             EXPECT_EQ(line.fTXContinueOnXoff, 1u);
             EXPECT_EQ(line.fDtrControl, unsigned(DTR_CONTROL_ENABLE));
             EXPECT_EQ(line.fRtsControl, unsigned(RTS_CONTROL_ENABLE));
             EXPECT_EQ(line.fErrorChar + line.fNull + line.fAbortOnError, 0);
             EXPECT_EQ(line.ErrorChar + line.EofChar + line.EvtChar, 0);
             EXPECT_EQ(line.wReserved, 0);
             // "Reserved; do not use": left as the driver keeps them.
             EXPECT_EQ(line.fDummy2, 5u);
             EXPECT_EQ(line.wReserved1, 9);
             ASSERT_TRUE(d.port.setSettings("4800,N,5,2"));
             EXPECT_EQ(d.comm->state.StopBits, ONE5STOPBITS);
             EXPECT_EQ(d.comm->state.fParity, 0u);
             d.expectWorking();
         }},
        // Every SetCommState reinitialises the adapter (some reset their UART, DTR and RTS may
        // drop): the rate the tool sets before each command goes to the driver only if it changed.
        {"SettingsReachTheDriverOnlyWhenChanged",
         [](Driver &d) {
             EXPECT_EQ(d.comm->setStateCalls, 1);
             for (int command = 0; command < 3; ++command)
                 ASSERT_TRUE(d.port.setSettings(QStringLiteral("9600,N,8,1")));
             EXPECT_EQ(d.comm->setStateCalls, 1);
             ASSERT_TRUE(d.port.setSettings(QStringLiteral("19200,N,8,1")));
             ASSERT_TRUE(d.port.setSettings(QStringLiteral("19200,N,8,1")));
             EXPECT_EQ(d.comm->setStateCalls, 2);
             ASSERT_TRUE(d.port.setOpen(false));
             ASSERT_TRUE(d.port.setOpen(true));
             EXPECT_EQ(d.comm->setStateCalls, 3);
         }},
        // Reads that end with nothing after the adapter went, and a driver that tells of it only
        // when asked: seen at that read, not re-read every few milliseconds.
        {"EmptyReadsAfterRemovalAreSeenAtOnce",
         [](Driver &d) {
             d.comm->emptyReads = true;
             d.comm->statusError = ERROR_GEN_FAILURE;
             d.comm->endRead(0);
             ASSERT_TRUE(QTest::qWaitFor([&] { return !d.port.isOpen(); }));
             EXPECT_EQ(d.comm->reads, 1);
             d.expectLost(windowsErrorText(ERROR_GEN_FAILURE));
         }},
        // A cancel the driver completes a little later: the port goes on.
        {"CancelEndingLateKeepsThePort",
         [](Driver &d) {
             d.comm->cancelMode = ScriptedComm::Cancel::Late;
             d.comm->lateMilliseconds = 20;
             EXPECT_TRUE(d.port.discardInput());
             EXPECT_EQ(d.comm->unboundedWaits, 0);
             EXPECT_EQ(d.losses, 0);
             d.expectWorking();
         }},
        // A cancel the driver never completes (or completes too late to wait for): the window
        // does not wait for it, the port is given up, and the transfer's memory stays the driver's.
        {"CancelNeverEndingLosesThePortAndNotTheWindow",
         [](Driver &d) {
             d.comm->cancelMode = ScriptedComm::Cancel::Never;
             EXPECT_FALSE(d.port.discardInput());
             d.expectLost(QStringLiteral("its driver did not end a cancelled transfer"));
             d.comm->cancelMode = ScriptedComm::Cancel::Prompt;
             ASSERT_TRUE(d.port.setOpen(true));
             d.expectWorking();
         }},
        {"CancelEndingAfterTheWaitWritesIntoKeptMemory",
         [](Driver &d) {
             d.comm->cancelMode = ScriptedComm::Cancel::Late;
             d.comm->lateMilliseconds = 1000;
             EXPECT_FALSE(d.port.discardInput());
             d.expectLost(QStringLiteral("its driver did not end a cancelled transfer"));
         }},
        // A write that ends having sent part of its bytes: the rest follows, in order.
        {"ShortWriteSendsTheRest",
         [](Driver &d) {
             d.comm->shortWrites = true;
             ASSERT_TRUE(d.port.write("#01\r"));
             ASSERT_TRUE(d.port.write("$012\r"));
             EXPECT_TRUE(QTest::qWaitFor([&] { return d.comm->line.size() >= 9; }));
             EXPECT_EQ(d.comm->line, QByteArray("#01\r$012\r"));
             EXPECT_TRUE(d.port.isOpen());
         }},
    };
    // How drivers tell of a removal: the pending read or a write ends with the error, or the
    // read stays pending for good and only ClearCommError tells.
    const std::pair<const char *, std::function<void(Driver &, DWORD)>> unplugs[] = {
        {"ReadEndsWith", [](Driver &d, DWORD error) { d.comm->endRead(error); }},
        {"WriteEndsWith",
         [](Driver &d, DWORD error) {
             d.comm->writeError = error;
             d.port.write("#01\r");
         }},
        {"ClearCommErrorFailsWith", [](Driver &d, DWORD error) { d.comm->statusError = error; }},
    };
    for (const auto &[how, unplug] : unplugs) {
        for (const auto &[error, name] : UnplugErrors) {
            const auto row = [unplug = unplug, error = error](Driver &d) {
                unplug(d, error);
                ASSERT_TRUE(QTest::qWaitFor([&] { return !d.port.isOpen(); }));
                d.expectLost(windowsErrorText(error));
            };
            table.push_back({std::string(how) + name, row});
        }
    }
    return table;
}

class DriverTable : public ::testing::TestWithParam<Row>
{
};

TEST_P(DriverTable, Behaves)
{
    Driver driver;
    ASSERT_TRUE(openCom(driver.port, 1));
    GetParam().run(driver);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverTable, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row> &row) { return row.param.name; });

// The system's own calls, where COM1..COM20 lead nowhere: every open fails with the words the
// lamp's tooltip shows and leaves the port closed.
TEST(SystemComm, APortWithNothingBehindItIsNoSuchDevice)
{
    if (qEnvironmentVariableIntValue("TOLVANE_COM_PORTS_UNMAPPED") != 1)
        GTEST_SKIP() << "only where COM1..COM20 are known to lead nowhere (tests/wine-run.sh)";
    PlatformSerialPort port;
    for (const int n : {tolvane::kFirstCom, 7, tolvane::kLastCom}) {
        ASSERT_TRUE(port.setPortNumber(std::int16_t(n)));
        EXPECT_FALSE(port.setOpen(true));
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.lastFailure(), QStringLiteral("no such device: COM%1").arg(n));
    }
}

} // namespace
