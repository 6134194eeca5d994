#include "SimModule.h"

#include "TextUtil.h"

#include <cctype>

namespace sim {

namespace {
Outcome replyWith(const std::string &text)
{
    return {text + '\r', Silence::None};
}

Outcome silentFor(Silence reason)
{
    return {{}, reason};
}
} // namespace

const char *silenceText(Silence silence)
{
    switch (silence) {
    case Silence::None:
        return "replied";
    case Silence::Unaddressed:
        return "unaddressed";
    case Silence::WrongAddress:
        return "wrong address";
    case Silence::BaudMismatch:
        return "baud mismatch";
    case Silence::Modbus:
        return "modbus";
    case Silence::Silent:
        return "silent";
    }
    return "?";
}

Outcome SimModule::handle(const std::string &command, int lineBaud, double volts)
{
    // A module on a mismatched line receives garbage, so this comes before any parsing.
    if (lineBaud != m_state.baud)
        return silentFor(Silence::BaudMismatch);
    if (m_state.protocol == Protocol::ModbusRtu)
        return silentFor(Silence::Modbus);

    const auto address = command.size() >= 3 ? parseHexByte(command.substr(1, 2)) : std::nullopt;
    if (!address)
        return silentFor(Silence::Unaddressed);
    const char lead = command[0];
    const bool configuration = lead == '%' || lead == '$';
    const bool takesConfigAddress = !m_addressTaken || m_state.jumperFitted;
    if (*address != m_state.address &&
        !(configuration && *address == kConfigAddress && takesConfigAddress))
        return silentFor(Silence::WrongAddress);

    switch (lead) {
    case '#':
        return command.size() == 3 ? replyWith('>' + formatReading(volts, m_state.format))
                                   : refuse();
    case '%':
        return configure(command);
    case '$':
        return dollarCommand(command);
    default:
        return refuse();
    }
}

Outcome SimModule::configure(const std::string &command)
{
    // %AANNTTCCFF: new address, type (always 00), baud code, format code.
    if (command.size() != 11)
        return refuse();
    const auto newAddress = parseHexByte(command.substr(3, 2));
    const auto baud = baudForCode(command.substr(7, 2));
    const auto format = formatForCode(command.substr(9, 2));
    if (!newAddress || command.compare(5, 2, "00") != 0 || !baud || !format)
        return refuse();
    // Without the jumper the module may not leave its rate: the whole command is refused. Nor
    // may two modules of one line share an address.
    if ((*baud != m_state.baud && !m_state.jumperFitted) ||
        (*newAddress != m_state.address && addressTaken(*newAddress)))
        return refuse();

    m_state.address = *newAddress;
    m_state.baud = *baud;
    m_state.format = *format;
    return replyWith('!' + hexByte(*newAddress));
}

Outcome SimModule::dollarCommand(const std::string &command)
{
    if (command.size() != 4)
        return setProtocol(command);
    switch (std::toupper(static_cast<unsigned char>(command[3]))) {
    case '2':
        return readConfiguration();
    case 'M':
        return answerText(m_state.name);
    case 'F':
        return answerText(m_state.firmware);
    default:
        return refuse();
    }
}

Outcome SimModule::readConfiguration() const
{
    // !AATTCCFF: the type is always 00, as the configuration command requires.
    std::string format;
    for (const auto &entry : tolvane::kDataFormats) {
        if (entry.value == m_state.format)
            format = entry.code;
    }
    return replyWith('!' + hexByte(m_state.address) + "00" + tolvane::baudCode(m_state.baud) +
                     format);
}

Outcome SimModule::answerText(const std::string &text) const
{
    return text.empty() ? refuse() : replyWith('!' + hexByte(m_state.address) + text);
}

Outcome SimModule::setProtocol(const std::string &command)
{
    const auto protocol = command.size() == 5 ? protocolForCode(command.substr(4)) : std::nullopt;
    if (!protocol || std::toupper(static_cast<unsigned char>(command[3])) != 'P')
        return refuse();
    if (!m_state.jumperFitted)
        return refuse();
    const Outcome ack = replyWith('!' + hexByte(m_state.address));
    m_state.protocol = *protocol;
    return ack;
}

Outcome SimModule::refuse() const
{
    return replyWith('?' + hexByte(m_state.address));
}

} // namespace sim
