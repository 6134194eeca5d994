#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The probes the search sends and what their replies say, one protocol each. Pure functions of
// bytes: no port, no time.

// What a reply to a probe of one address makes of the line there.
enum class ReplyKind {
    Module,        // a well-formed answer from the address probed
    ConfigAddress, // the probe went to 00 and a module answered with its own address
    WrongAddress,  // well-formed, but from another address than the one probed
    Garbled,       // not a reply of this protocol: cut, collided or at another rate
};

namespace characterProtocol {

// "$AA2" + CR: read the configuration. "$AAM" and "$AAF": the name and the firmware version.
QByteArray configurationProbe(int address);
QByteArray nameCommand(int address);
QByteArray firmwareCommand(int address);

struct ConfigurationReply
{
    ReplyKind kind = ReplyKind::Garbled;
    int address = -1;     // the address the module gave
    bool refused = false; // "?AA": it is there but did not take the command
    QString typeCode;     // TT, RR (rate code) and FF of "!AATTRRFF"
    QString rateCode;
    QString formatCode;
};
ConfigurationReply parseConfigurationReply(int probedAddress, const QByteArray &reply);

// "!AA" + text + CR from that address: the text; nothing for a refusal or anything else.
std::optional<QString> parseTextReply(int address, const QByteArray &reply);

// Whether the reply is whole: a character reply ends at its CR.
bool replyComplete(const QByteArray &reply);

} // namespace characterProtocol

namespace modbusRtu {

inline constexpr int kFirstAddress = 1;
inline constexpr int kLastAddress = 247;

// Function 03, holding registers 0..3 (address, rate, format, protocol on the module's map).
QByteArray probe(int address);
inline constexpr int kProbeBytes = 8;

struct ProbeReply
{
    ReplyKind kind = ReplyKind::Garbled;
    int address = -1;
    int exceptionCode = 0; // non-zero for an exception reply
    bool registersRead = false;
    quint16 registers[4] = {};
};
ProbeReply parseProbeReply(int probedAddress, const QByteArray &reply);

// Whether the reply frame is whole, by the length its header gives; false while that is not
// yet known.
bool replyComplete(const QByteArray &reply);

// Whether registers 0..3 read as this tool's module map for a module at that address and rate.
bool isModuleMap(const ProbeReply &reply, int address, int rate);

} // namespace modbusRtu

// Two upper-case hex digits, as the module writes addresses and codes.
QString hexByte(int value);
