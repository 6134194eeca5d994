#include "find/ModuleSearch.h"

#include "core/ComLinks.h"
#include "core/EventPump.h"
#include "core/SerialPort.h"
#include "find/Probes.h"
#include "find/WireTime.h"

#include <QStringList>

#include <algorithm>

using tolvane::Protocol;

namespace {
// The likeliest first: the modules' default, then the fastest and the common ones.
constexpr int kLikeliestRates[] = {9600, 115200, 19200, 38400, 57600, 4800, 2400, 1200, 600, 300};
static_assert(std::size(kLikeliestRates) == std::size(tolvane::kBaudRates));

// Each wait polls the port once per 1 ms sleep; a sleep lasts 1.04 to 1.11 ms here, so a probe
// ends up to one poll after its wire time. The worst case counts that too.
constexpr int kPollMs = 1;
constexpr std::int64_t kPollAllowanceUs = 2000;
// Longer than any reply of either protocol: a line that keeps talking is no reply.
constexpr int kMaxReplyBytes = 256;
constexpr int kProbeCommandCharacters = 5; // "$AA2" + CR

int characterFirst(const SearchPlan &plan)
{
    return std::max(plan.firstAddress, 0x00);
}
int characterLast(const SearchPlan &plan)
{
    return std::min(plan.lastAddress, 0xFF);
}
int modbusFirst(const SearchPlan &plan)
{
    return std::max(plan.firstAddress, modbusRtu::kFirstAddress);
}
int modbusLast(const SearchPlan &plan)
{
    return std::min(plan.lastAddress, modbusRtu::kLastAddress);
}

int addressCount(int first, int last)
{
    return std::max(0, last - first + 1);
}

int characterAddresses(const SearchPlan &plan)
{
    return plan.characterProtocol ? addressCount(characterFirst(plan), characterLast(plan)) : 0;
}
int modbusAddresses(const SearchPlan &plan)
{
    return plan.modbusRtu ? addressCount(modbusFirst(plan), modbusLast(plan)) : 0;
}

std::int64_t probeUs(Protocol protocol, int rate, int turnaroundMs)
{
    const int characters =
        protocol == Protocol::Character ? kProbeCommandCharacters : modbusRtu::kProbeBytes;
    return wire::probeTime(protocol, rate, characters, turnaroundMs).totalUs();
}

QString rateList()
{
    QStringList rates;
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates)
        rates << QString::number(baud.rate);
    return rates.join(QLatin1Char(' '));
}

QString exceptionText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("illegal function");
    case 2:
        return QStringLiteral("illegal data address");
    case 3:
        return QStringLiteral("illegal data value");
    case 4:
        return QStringLiteral("device failure");
    default:
        return QStringLiteral("code %1").arg(code);
    }
}
} // namespace

ModuleSearch::ModuleSearch(SerialPort &port, EventPump &pump, SearchClock &clock)
    : m_port(port)
    , m_pump(pump)
    , m_clock(clock)
{}

QString ModuleSearch::checkPlan(const SearchPlan &plan)
{
    if (!plan.characterProtocol && !plan.modbusRtu)
        return QStringLiteral("no protocol chosen");
    if (plan.com < tolvane::kFirstCom || plan.com > tolvane::kLastCom)
        return QStringLiteral("COM%1 to COM%2 only, not COM%3")
            .arg(tolvane::kFirstCom)
            .arg(tolvane::kLastCom)
            .arg(plan.com);
    for (std::size_t i = 0; i < plan.rates.size(); ++i) {
        if (!tolvane::baudCode(plan.rates[i]))
            return QStringLiteral("%1 is not one of the rates (%2)")
                .arg(plan.rates[i])
                .arg(rateList());
        if (std::count(plan.rates.begin(), plan.rates.begin() + i, plan.rates[i]) > 0)
            return QStringLiteral("rate %1 is given twice").arg(plan.rates[i]);
    }
    if (plan.firstAddress < 0x00 || plan.lastAddress > 0xFF || plan.firstAddress > plan.lastAddress)
        return QStringLiteral("addresses 00 to FF only, the first no higher than the last");
    if (!plan.characterProtocol && modbusAddresses(plan) == 0)
        return QStringLiteral("MODBUS RTU addresses are 01 to F7 (1 to 247)");
    if (plan.turnaroundMs != -1 && (plan.turnaroundMs < 0 || plan.turnaroundMs > kMaxTurnaroundMs))
        return QStringLiteral("turnaround 0 to %1 ms").arg(kMaxTurnaroundMs);
    return {};
}

SearchPlan ModuleSearch::completed(const SearchPlan &plan)
{
    SearchPlan full = plan;
    if (full.rates.empty())
        full.rates.assign(std::begin(kLikeliestRates), std::end(kLikeliestRates));
    if (full.turnaroundMs < 0)
        full.turnaroundMs = kDefaultTurnaroundMs;
    return full;
}

int ModuleSearch::probeCount(const SearchPlan &plan)
{
    const SearchPlan full = completed(plan);
    return int(full.rates.size()) * (characterAddresses(full) + modbusAddresses(full));
}

std::int64_t ModuleSearch::floorUs(const SearchPlan &plan)
{
    const SearchPlan full = completed(plan);
    std::int64_t total = 0;
    for (const int rate : full.rates) {
        total += characterAddresses(full) * probeUs(Protocol::Character, rate, full.turnaroundMs);
        total += modbusAddresses(full) * probeUs(Protocol::ModbusRtu, rate, full.turnaroundMs);
    }
    return total;
}

std::int64_t ModuleSearch::worstCaseMs(const SearchPlan &plan)
{
    const std::int64_t us = floorUs(plan) + probeCount(plan) * kPollAllowanceUs;
    return (us + 999) / 1000;
}

void ModuleSearch::stop()
{
    m_stopRequested = true;
}

SearchEnd ModuleSearch::run(const SearchPlan &plan, SearchObserver &observer)
{
    m_failure = checkPlan(plan);
    if (!m_failure.isEmpty())
        return SearchEnd::PortUnusable;
    m_plan = completed(plan);
    m_stopRequested = false;
    m_foundModule = m_foundAny = false;
    m_seen.clear();
    if (!openPort(m_plan))
        return finish(SearchEnd::PortUnusable);

    const int total = probeCount(m_plan);
    std::int64_t leftUs = floorUs(m_plan) + total * kPollAllowanceUs;
    int done = 0;
    observer.progress(done, total, (leftUs + 999) / 1000);
    const auto probed = [&](Protocol protocol, int rate) {
        leftUs = std::max<std::int64_t>(0, leftUs - probeUs(protocol, rate, m_plan.turnaroundMs) -
                                               kPollAllowanceUs);
        observer.progress(++done, total, (leftUs + 999) / 1000);
    };
    for (const int rate : m_plan.rates) {
        if (m_stopRequested)
            return finish(SearchEnd::Stopped);
        if (!setRate(rate))
            return finish(SearchEnd::PortUnusable);
        if (m_plan.characterProtocol) {
            for (int address = characterFirst(m_plan); address <= characterLast(m_plan);
                 ++address) {
                const bool goOn = probeCharacter(rate, address, observer);
                if (!goOn)
                    return finish(m_lastWait == Wait::PortLost ? SearchEnd::PortUnusable
                                                               : SearchEnd::Stopped);
                probed(Protocol::Character, rate);
                if (m_plan.stopAtFirst && m_foundModule)
                    return finish(SearchEnd::Found);
            }
        }
        if (m_plan.modbusRtu) {
            for (int address = modbusFirst(m_plan); address <= modbusLast(m_plan); ++address) {
                if (!probeModbus(rate, address, observer))
                    return finish(m_lastWait == Wait::PortLost ? SearchEnd::PortUnusable
                                                               : SearchEnd::Stopped);
                probed(Protocol::ModbusRtu, rate);
                if (m_plan.stopAtFirst && m_foundModule)
                    return finish(SearchEnd::Found);
            }
        }
    }
    return finish(m_foundAny ? SearchEnd::Found : SearchEnd::NoneFound);
}

bool ModuleSearch::openPort(const SearchPlan &plan)
{
    m_port.setOpen(false);
    const bool opened = m_port.setPortNumber(std::int16_t(plan.com)) &&
                        m_port.setSettings(QStringLiteral("%1,N,8,1").arg(plan.rates.front())) &&
                        m_port.setReadLength(0) && m_port.setOpen(true);
    if (!opened)
        m_failure = QStringLiteral("COM%1 could not be opened").arg(plan.com);
    return opened;
}

bool ModuleSearch::setRate(int rate)
{
    if (m_port.setSettings(QStringLiteral("%1,N,8,1").arg(rate)))
        return true;
    m_failure = QStringLiteral("COM%1 did not take %2 baud").arg(m_plan.com).arg(rate);
    return false;
}

SearchEnd ModuleSearch::finish(SearchEnd end)
{
    m_port.setOpen(false);
    return end;
}

bool ModuleSearch::pollOnce(QByteArray &received)
{
    m_pump.sleepMilliseconds(kPollMs);
    m_pump.pumpEvents();
    return m_port.read(received);
}

ModuleSearch::Exchange ModuleSearch::exchange(Protocol protocol, int rate,
                                              const QByteArray &command)
{
    Exchange result;
    if (m_stopRequested) {
        result.wait = Wait::Stopped; // nothing more goes out once Stop is pressed
    } else if (!m_port.discardInput() || !m_port.write(command)) {
        result.wait = Wait::PortLost;
    } else {
        const std::int64_t deadline =
            m_clock.nowMicroseconds() +
            wire::probeTime(protocol, rate, int(command.size()), m_plan.turnaroundMs).totalUs();
        for (;;) {
            if (!pollOnce(result.reply)) {
                result.wait = Wait::PortLost;
                break;
            }
            if (m_stopRequested) {
                result.wait = Wait::Stopped;
                break;
            }
            if (!result.reply.isEmpty()) {
                result.wait = readToEnd(protocol, rate, result.reply);
                break;
            }
            if (m_clock.nowMicroseconds() >= deadline) {
                result.wait = Wait::Silent;
                break;
            }
        }
    }
    m_lastWait = result.wait;
    if (result.wait == Wait::PortLost)
        m_failure =
            QStringLiteral("COM%1 failed during the search, at %2 baud").arg(m_plan.com).arg(rate);
    return result;
}

ModuleSearch::Wait ModuleSearch::readToEnd(Protocol protocol, int rate, QByteArray &reply)
{
    const auto complete = [protocol](const QByteArray &bytes) {
        return protocol == Protocol::Character ? characterProtocol::replyComplete(bytes)
                                               : modbusRtu::replyComplete(bytes);
    };
    // A reply cut short ends when the line has been quiet as long as a module may take to
    // answer (a USB adapter passes bytes on in bursts); a whole one gets a short look beyond
    // its end, so that a second sender shows as such instead of as the next probe's reply.
    const std::int64_t characterUs = wire::characterUs(rate);
    const std::int64_t cutSilenceUs =
        std::max<std::int64_t>(std::int64_t(m_plan.turnaroundMs) * 1000, 4 * characterUs);
    const std::int64_t beyondEndUs = std::max<std::int64_t>(2 * characterUs, 2000);
    std::int64_t lastByteAt = m_clock.nowMicroseconds();
    while (reply.size() <= kMaxReplyBytes) {
        const int before = int(reply.size());
        if (!pollOnce(reply))
            return Wait::PortLost;
        if (m_stopRequested)
            return Wait::Stopped;
        const std::int64_t now = m_clock.nowMicroseconds();
        if (reply.size() > before)
            lastByteAt = now;
        const std::int64_t quietUs = now - lastByteAt;
        if (quietUs >= (complete(reply) ? beyondEndUs : cutSilenceUs))
            break;
    }
    if (protocol == Protocol::ModbusRtu)
        pauseForFrameGap(rate);
    return Wait::Reply;
}

void ModuleSearch::pauseForFrameGap(int rate)
{
    // The next request may start only after a frame gap of silence; the look beyond the end
    // covers it below 19200 baud only when the reply ended cleanly.
    const std::int64_t until = m_clock.nowMicroseconds() + wire::frameGapUs(rate);
    while (m_clock.nowMicroseconds() < until && !m_stopRequested) {
        m_pump.sleepMilliseconds(kPollMs);
        m_pump.pumpEvents();
    }
}

bool ModuleSearch::probeCharacter(int rate, int address, SearchObserver &observer)
{
    using characterProtocol::ConfigurationReply;
    const QByteArray probe = characterProtocol::configurationProbe(address);
    Exchange answer = exchange(Protocol::Character, rate, probe);
    if (answer.endsSearch())
        return false;
    if (answer.wait == Wait::Silent)
        return true;

    ConfigurationReply parsed = characterProtocol::parseConfigurationReply(address, answer.reply);
    FoundModule module;
    module.com = m_plan.com;
    module.address = address;
    module.rate = rate;
    module.protocol = Protocol::Character;
    module.reply = QString::fromLatin1(answer.reply);
    const bool fits = parsed.kind == ReplyKind::Module || parsed.kind == ReplyKind::ConfigAddress;
    if (!fits) {
        // It may have been a reply to the probe before that came after its wait: ask again.
        const Exchange again = exchange(Protocol::Character, rate, probe);
        if (again.endsSearch())
            return false;
        const ConfigurationReply parsedAgain =
            characterProtocol::parseConfigurationReply(address, again.reply);
        if (again.wait == Wait::Reply && (parsedAgain.kind == ReplyKind::Module ||
                                          parsedAgain.kind == ReplyKind::ConfigAddress)) {
            parsed = parsedAgain;
            module.reply = QString::fromLatin1(again.reply);
        } else if (again.wait == Wait::Silent && parsed.kind == ReplyKind::WrongAddress) {
            module.address = parsed.address;
            module.note = lateNote();
        } else if (parsed.kind == ReplyKind::WrongAddress) {
            module.note = QStringLiteral("the reply to %1 came from %2: two modules at %1?")
                              .arg(hexByte(address), hexByte(parsed.address));
            report(module, false, observer);
            return true;
        } else {
            module.note =
                address == 0x00
                    ? QStringLiteral("garbled reply: two modules that take 00?")
                    : QStringLiteral("garbled reply: two modules at %1?").arg(hexByte(address));
            report(module, false, observer);
            return true;
        }
    }
    if (parsed.kind == ReplyKind::ConfigAddress) {
        module.address = parsed.address;
        module.note = QStringLiteral("answers the configuration address 00 as well");
    }
    if (!m_seen.insert({module.address, rate, int(Protocol::Character)}).second)
        return true;
    module.typeCode = parsed.typeCode;
    module.formatCode = parsed.formatCode;
    if (parsed.refused) {
        const QString own = hexByte(module.address);
        module.note = QLatin1String("refused $") + own + QLatin1String("2 (?") + own +
                      QLatin1String("): a module is there");
    } else if (parsed.rateCode != QLatin1String(tolvane::baudCode(rate))) {
        module.note = QStringLiteral("answers at %1 baud but gives rate code %2")
                          .arg(rate)
                          .arg(parsed.rateCode);
    }
    const bool goOn = askNameAndFirmware(module);
    report(module, true, observer);
    return goOn;
}

QString ModuleSearch::lateNote() const
{
    return QStringLiteral("answered after the turnaround: search with --turnaround above %1 ms")
        .arg(m_plan.turnaroundMs);
}

bool ModuleSearch::askNameAndFirmware(FoundModule &module)
{
    const Exchange name =
        exchange(Protocol::Character, module.rate, characterProtocol::nameCommand(module.address));
    if (name.endsSearch())
        return false;
    module.name = characterProtocol::parseTextReply(module.address, name.reply).value_or(QString());
    const Exchange firmware = exchange(Protocol::Character, module.rate,
                                       characterProtocol::firmwareCommand(module.address));
    if (firmware.endsSearch())
        return false;
    module.firmware =
        characterProtocol::parseTextReply(module.address, firmware.reply).value_or(QString());
    return true;
}

bool ModuleSearch::probeModbus(int rate, int address, SearchObserver &observer)
{
    const QByteArray probe = modbusRtu::probe(address);
    Exchange answer = exchange(Protocol::ModbusRtu, rate, probe);
    if (answer.endsSearch())
        return false;
    if (answer.wait == Wait::Silent)
        return true;

    modbusRtu::ProbeReply parsed = modbusRtu::parseProbeReply(address, answer.reply);
    FoundModule module;
    module.com = m_plan.com;
    module.address = address;
    module.rate = rate;
    module.protocol = Protocol::ModbusRtu;
    module.reply = QString::fromLatin1(answer.reply.toHex(' ').toUpper());
    if (parsed.kind != ReplyKind::Module) {
        // As in the character protocol: a late reply to the probe before, or a real clash.
        const Exchange again = exchange(Protocol::ModbusRtu, rate, probe);
        if (again.endsSearch())
            return false;
        const modbusRtu::ProbeReply parsedAgain = modbusRtu::parseProbeReply(address, again.reply);
        if (again.wait == Wait::Reply && parsedAgain.kind == ReplyKind::Module) {
            parsed = parsedAgain;
            module.reply = QString::fromLatin1(again.reply.toHex(' ').toUpper());
        } else if (again.wait == Wait::Silent && parsed.kind == ReplyKind::WrongAddress) {
            module.address = parsed.address;
            module.note = lateNote();
        } else if (parsed.kind == ReplyKind::WrongAddress) {
            module.note = QStringLiteral("the reply to %1 came from %2: two devices at %1?")
                              .arg(address)
                              .arg(parsed.address);
            report(module, false, observer);
            return true;
        } else {
            module.note = QStringLiteral("garbled frame: two devices at %1?").arg(address);
            report(module, false, observer);
            return true;
        }
    }
    if (!m_seen.insert({module.address, rate, int(Protocol::ModbusRtu)}).second)
        return true;
    QString said;
    if (parsed.exceptionCode != 0) {
        said = QStringLiteral("a device: exception %1 (%2) to a read of holding registers")
                   .arg(parsed.exceptionCode)
                   .arg(exceptionText(parsed.exceptionCode));
    } else if (modbusRtu::isModuleMap(parsed, module.address, rate)) {
        module.name = QStringLiteral("module map: address, rate, format, protocol");
        module.formatCode = hexByte(parsed.registers[2]);
    } else {
        said = QStringLiteral("holding registers 0-3: %1 %2 %3 %4")
                   .arg(parsed.registers[0])
                   .arg(parsed.registers[1])
                   .arg(parsed.registers[2])
                   .arg(parsed.registers[3]);
    }
    if (!said.isEmpty())
        module.note = module.note.isEmpty() ? said : module.note + QLatin1String("; ") + said;
    report(module, true, observer);
    return true;
}

void ModuleSearch::report(const FoundModule &module, bool isModule, SearchObserver &observer)
{
    m_foundAny = true;
    m_foundModule = m_foundModule || isModule;
    FoundModule reported = module;
    reported.wellFormed = isModule;
    observer.found(reported);
}
