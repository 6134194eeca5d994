#include "find/Probes.h"

#include "core/ModbusCrc.h"
#include "core/ModuleCodes.h"

#include <cctype>
#include <iterator>
#include <string_view>

QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

namespace {
bool isHexText(const QByteArray &text)
{
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return !text.isEmpty();
}

// Two hex digits at `at`, either case; -1 when they are not.
int hexAt(const QByteArray &text, int at)
{
    const QByteArray digits = text.mid(at, 2);
    return digits.size() == 2 && isHexText(digits) ? digits.toInt(nullptr, 16) : -1;
}

ReplyKind kindFor(int probed, int answered)
{
    if (answered == probed)
        return ReplyKind::Module;
    return probed == 0x00 ? ReplyKind::ConfigAddress : ReplyKind::WrongAddress;
}

QByteArray command(char lead, int address, const char *rest)
{
    return lead + hexByte(address).toLatin1() + rest + '\r';
}
} // namespace

namespace characterProtocol {

QByteArray configurationProbe(int address)
{
    return command('$', address, "2");
}

QByteArray nameCommand(int address)
{
    return command('$', address, "M");
}

QByteArray firmwareCommand(int address)
{
    return command('$', address, "F");
}

bool replyComplete(const QByteArray &reply)
{
    return reply.contains('\r');
}

ConfigurationReply parseConfigurationReply(int probedAddress, const QByteArray &reply)
{
    ConfigurationReply parsed;
    // One reply and its CR, nothing more: anything after it is a second sender.
    if (!reply.endsWith('\r') || reply.count('\r') != 1)
        return parsed;
    const QByteArray text = reply.chopped(1);
    const int address = hexAt(text, 1);
    if (address < 0)
        return parsed;
    if (text.size() == 3 && text[0] == '?') {
        parsed.refused = true;
    } else if (text.size() == 9 && text[0] == '!' && isHexText(text.mid(3))) {
        parsed.typeCode = QString::fromLatin1(text.mid(3, 2)).toUpper();
        parsed.rateCode = QString::fromLatin1(text.mid(5, 2)).toUpper();
        parsed.formatCode = QString::fromLatin1(text.mid(7, 2)).toUpper();
    } else {
        return parsed;
    }
    parsed.address = address;
    parsed.kind = kindFor(probedAddress, address);
    return parsed;
}

std::optional<QString> parseTextReply(int address, const QByteArray &reply)
{
    if (!reply.endsWith('\r') || reply.count('\r') != 1 || reply.size() < 4 || reply[0] != '!' ||
        hexAt(reply, 1) != address)
        return std::nullopt;
    return QString::fromLatin1(reply.mid(3, reply.size() - 4));
}

} // namespace characterProtocol

namespace modbusRtu {

namespace {
constexpr char kReadHolding = 0x03;
constexpr int kRegisters = 4;

bool crcFits(const QByteArray &frame)
{
    if (frame.size() < 4)
        return false;
    const std::uint16_t crc =
        tolvane::modbusCrc(std::string_view(frame.constData(), frame.size() - 2));
    return static_cast<unsigned char>(frame[frame.size() - 2]) == (crc & 0xFF) &&
           static_cast<unsigned char>(frame[frame.size() - 1]) == (crc >> 8);
}

// The length the frame's header announces; 0 while the header has not all come.
int announcedLength(const QByteArray &frame)
{
    if (frame.size() < 2)
        return 0;
    const auto function = static_cast<unsigned char>(frame[1]);
    if (function & 0x80)
        return 5; // address, function, exception code, CRC
    if (function == kReadHolding)
        return frame.size() < 3 ? 0 : 5 + static_cast<unsigned char>(frame[2]);
    return 0;
}
} // namespace

QByteArray probe(int address)
{
    QByteArray frame;
    frame += char(address);
    frame += kReadHolding;
    frame += QByteArray("\x00\x00\x00", 3);
    frame += char(kRegisters);
    const std::uint16_t crc = tolvane::modbusCrc(std::string_view(frame.constData(), frame.size()));
    frame += char(crc & 0xFF);
    frame += char(crc >> 8);
    return frame;
}

bool replyComplete(const QByteArray &reply)
{
    const int length = announcedLength(reply);
    return length > 0 && reply.size() >= length;
}

ProbeReply parseProbeReply(int probedAddress, const QByteArray &reply)
{
    ProbeReply parsed;
    const int length = announcedLength(reply);
    if (length == 0 || reply.size() != length || !crcFits(reply))
        return parsed;
    const auto function = static_cast<unsigned char>(reply[1]);
    if (function == (0x80 | kReadHolding)) {
        parsed.exceptionCode = static_cast<unsigned char>(reply[2]);
    } else if (function == kReadHolding && reply[2] == 2 * kRegisters) {
        parsed.registersRead = true;
        for (int i = 0; i < kRegisters; ++i) {
            parsed.registers[i] = quint16(static_cast<unsigned char>(reply[3 + 2 * i]) << 8 |
                                          static_cast<unsigned char>(reply[4 + 2 * i]));
        }
    } else {
        return parsed;
    }
    parsed.address = static_cast<unsigned char>(reply[0]);
    parsed.kind = parsed.address == probedAddress ? ReplyKind::Module : ReplyKind::WrongAddress;
    return parsed;
}

bool isModuleMap(const ProbeReply &reply, int address, int rate)
{
    const char *code = tolvane::baudCode(rate);
    const int formats = int(std::size(tolvane::kDataFormats));
    return reply.registersRead && code && reply.registers[0] == address &&
           reply.registers[1] == QByteArray(code).toInt(nullptr, 16) &&
           reply.registers[2] < formats && reply.registers[3] == 1;
}

} // namespace modbusRtu
