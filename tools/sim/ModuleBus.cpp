#include "ModuleBus.h"

#include "ModbusModule.h"
#include "TextUtil.h"

namespace sim {

namespace {
ModuleState startState(const SimOptions &options, const ModuleOptions &module)
{
    ModuleState state;
    state.address = module.address;
    state.baud = module.baud.value_or(options.baud);
    state.format = module.format.value_or(DataFormat::Engineering);
    state.jumperFitted = module.jumperFitted || options.jumperFitted;
    state.protocol = module.modbus ? Protocol::ModbusRtu : Protocol::Character;
    state.name = module.name.value_or(kDefaultName);
    state.firmware = module.firmware.value_or(kDefaultFirmware);
    return state;
}
} // namespace

ModuleBus::ModuleBus(const SimOptions &options)
{
    std::vector<ModuleOptions> modules = options.modules;
    if (modules.empty())
        modules.push_back(ModuleOptions{options.address, {}, {}, {}, false, false, {}, {}});
    for (const ModuleOptions &module : modules) {
        m_modules.push_back({SimModule(startState(options, module)),
                             module.replyDelayMs.value_or(options.replyDelayMs)});
    }
    if (m_modules.size() < 2)
        return;
    for (std::size_t i = 0; i < m_modules.size(); ++i) {
        m_modules[i].module.joinLine([this, i](int address) {
            for (std::size_t j = 0; j < m_modules.size(); ++j) {
                if (j != i && m_modules[j].module.state().address == address)
                    return true;
            }
            return false;
        });
    }
}

Heard ModuleBus::hearCommand(const std::string &command, int lineBaud, double volts)
{
    Heard heard;
    std::vector<Outcome> outcomes;
    for (LineModule &line : m_modules) {
        const int before = line.module.state().address;
        outcomes.push_back(line.module.handle(command, lineBaud, volts));
        if (outcomes.back().silence == Silence::None)
            heard.answers.push_back(answerFrom(line, before, outcomes.back().reply));
    }
    if (!heard.answers.empty())
        return heard;

    // Why nobody answered: on a line of one, that module's reason; else the addressed module's.
    std::size_t reasonOf = 0;
    const auto address = command.size() >= 3 ? parseHexByte(command.substr(1, 2)) : std::nullopt;
    if (m_modules.size() > 1) {
        if (!address) {
            heard.silence = silenceText(Silence::Unaddressed);
            return heard;
        }
        const LineModule *addressed = moduleAt(*address);
        if (!addressed && *address == SimModule::kConfigAddress && command[0] != '#') {
            heard.silence = "no module with its jumper fitted takes 00";
            return heard;
        }
        if (!addressed) {
            heard.silence = "no module at " + hexByte(*address);
            return heard;
        }
        reasonOf = static_cast<std::size_t>(addressed - m_modules.data());
    }
    const Silence silence = outcomes[reasonOf].silence;
    heard.silence = silenceText(silence);
    if (silence == Silence::BaudMismatch)
        heard.silence += ", module at " + std::to_string(m_modules[reasonOf].module.state().baud);
    return heard;
}

Heard ModuleBus::hearFrame(const std::string &frame, int lineBaud, double volts)
{
    Heard heard;
    const int address = frame.empty() ? -1 : static_cast<unsigned char>(frame[0]);
    const LineModule *addressed = moduleAt(address);
    for (LineModule &line : m_modules) {
        SimModule &module = line.module;
        if (module.state().protocol != Protocol::ModbusRtu || module.state().baud != lineBaud)
            continue;
        const int before = module.state().address;
        const ModbusOutcome outcome =
            answerModbus(module.state(), frame, volts,
                         [&module](int other) { return module.addressTaken(other); });
        if (!outcome.reply.empty())
            heard.answers.push_back(answerFrom(line, before, outcome.reply));
        else if (heard.silence.empty() || &line == addressed)
            heard.silence = outcome.note;
    }
    if (!heard.answers.empty() || address == 0)
        return heard;
    if (!addressed) {
        heard.silence = "no module at " + hexByte(address);
    } else if (addressed->module.state().baud != lineBaud) {
        heard.silence =
            "baud mismatch, module at " + std::to_string(addressed->module.state().baud);
    } else if (addressed->module.state().protocol != Protocol::ModbusRtu &&
               heard.silence != "bad CRC") {
        heard.silence = "module " + hexByte(address) + " speaks the character protocol";
    }
    return heard;
}

bool ModuleBus::anyModbus() const
{
    for (const LineModule &line : m_modules) {
        if (line.module.state().protocol == Protocol::ModbusRtu)
            return true;
    }
    return false;
}

const ModuleBus::LineModule *ModuleBus::moduleAt(int address) const
{
    for (const LineModule &line : m_modules) {
        if (line.module.state().address == address)
            return &line;
    }
    return nullptr;
}

Answer ModuleBus::answerFrom(const LineModule &line, int address, const std::string &reply) const
{
    return {reply, line.replyDelayMs, m_modules.size() > 1 ? hexByte(address) : std::string()};
}

} // namespace sim
