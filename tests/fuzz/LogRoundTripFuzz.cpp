// Any reply bytes, through a real send and a real save, reach the file exactly as the log
// promises: each byte as its own character, in UTF-8.
#include "FuzzCheck.h"

#include "Fakes.h"

#include "core/FormState.h"
#include "core/LogModel.h"
#include "core/Operations.h"
#include "core/Timestamp.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

namespace {

QString latin1Text(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QChar(static_cast<char16_t>(static_cast<std::uint8_t>(byte)));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("log.txt"));
    static const QDateTime now(QDate(2026, 3, 14), QTime(9, 26, 53));
    FUZZ_CHECK(folder.isValid());

    // The first byte gives the command's length (up to 15 bytes); the rest is the reply.
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype commandLength =
        input.isEmpty() ? 0 : qMin<qsizetype>(input.at(0) & 0x0F, input.size() - 1);
    const QByteArray commandBytes = input.mid(1, commandLength);
    const QByteArray reply = input.mid(1 + commandLength);

    FormState state;
    FakeWindow window;
    FakeSerialPort port;
    ScriptedPump pump;
    LogModel log;
    Operations ops(state, window, port, pump, log);
    ops.setClock([] { return now; });
    ops.setSaveDialog([](const QString &) { return std::optional<QString>(path); });
    QString failure;
    ops.setMessageBox([&failure](const QString &message) { failure = message; });
    ops.StartUp();

    window.command = latin1Text(commandBytes);
    port.arrive[1] = reply;
    ops.SendCommand();
    ops.SaveLog();
    FUZZ_CHECK(failure.isEmpty());
    FUZZ_CHECK(port.written == commandBytes + '\r');

    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QString expected = generalDateTime(now) + QStringLiteral("   Command:") +
                             latin1Text(commandBytes) + QStringLiteral("   Response:") +
                             latin1Text(reply) + QStringLiteral("\r\n\r\n");
    FUZZ_CHECK(file.readAll() == expected.toUtf8());
    return 0;
}
