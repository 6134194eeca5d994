// Any reply bytes, through a real send and a real save, reach the file exactly as the log
// promises: each byte as its own character, in UTF-8.
#include "FuzzCheck.h"

#include "Fakes.h"

#include "core/LogEntry.h"
#include "core/Timestamp.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir folder;
    static const QString path = folder.filePath(QStringLiteral("log.txt"));
    FUZZ_CHECK(folder.isValid());

    // The first byte gives the command's length (up to 15 bytes); the rest is the reply.
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype commandLength =
        input.isEmpty() ? 0 : qMin<qsizetype>(input.at(0) & 0x0F, input.size() - 1);
    const QByteArray commandBytes = input.mid(1, commandLength);
    const QByteArray reply = input.mid(1 + commandLength);

    CoreRig rig;
    rig.ops.setSaveDialog([](const QString &) { return std::optional<QString>(path); });
    QString failure;
    rig.ops.setMessageBox([&failure](const QString &message) { failure = message; });

    rig.window.command = QString::fromLatin1(commandBytes);
    rig.port.arrive[1] = reply;
    rig.ops.SendCommand();
    rig.ops.SaveLog();
    FUZZ_CHECK(failure.isEmpty());
    FUZZ_CHECK(rig.port.written == commandBytes + '\r');

    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QString expected = logEntry(generalDateTime(rig.now), QString::fromLatin1(commandBytes),
                                      QString::fromLatin1(reply)) +
                             "\r\n";
    FUZZ_CHECK(file.readAll() == expected.toUtf8());
    return 0;
}
