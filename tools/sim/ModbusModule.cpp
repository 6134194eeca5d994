#include "ModbusModule.h"

#include "core/ModbusCrc.h"

#include <modbus.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <system_error>

namespace sim {

namespace {

constexpr int kBroadcastAddress = 0;
constexpr int kLastAddress = 247;

enum InputRegister { kReading, kMillivolts };
enum HoldingRegister { kAddress, kRate, kFormat, kProtocol };
constexpr int kInputCount = kMillivolts + 1;
constexpr int kHoldingCount = kProtocol + 1;

int byteAt(const std::string &frame, std::size_t i)
{
    return static_cast<unsigned char>(frame[i]);
}

int wordAt(const std::string &frame, std::size_t i)
{
    return byteAt(frame, i) << 8 | byteAt(frame, i + 1);
}

// The codes of the configuration and protocol commands, as numbers: "0A" -> 10.
int codeNumber(const char *code)
{
    return std::stoi(code, nullptr, 16);
}

template<typename Value, std::size_t N>
int codeFor(const tolvane::CodedEntry<Value> (&rows)[N], Value value)
{
    for (const auto &row : rows) {
        if (row.value == value)
            return codeNumber(row.code);
    }
    return -1;
}

template<typename Value, std::size_t N>
std::optional<Value> valueFor(const tolvane::CodedEntry<Value> (&rows)[N], int code)
{
    for (const auto &row : rows) {
        if (codeNumber(row.code) == code)
            return row.value;
    }
    return std::nullopt;
}

int rateCode(int baud)
{
    const char *code = tolvane::baudCode(baud);
    return code ? codeNumber(code) : -1;
}

std::optional<int> rateForCode(int code)
{
    for (const tolvane::BaudRate &baud : tolvane::kBaudRates) {
        if (codeNumber(baud.code) == code)
            return baud.rate;
    }
    return std::nullopt;
}

// One holding register write, judged against the module as it was before the frame.
bool write(ModuleState &next, const ModuleState &now, int reg, int value,
           const std::function<bool(int)> &addressTaken)
{
    switch (reg) {
    case kAddress:
        if (value < 1 || value > kLastAddress ||
            (value != now.address && addressTaken && addressTaken(value)))
            return false;
        next.address = value;
        return true;
    case kRate: {
        const auto baud = rateForCode(value);
        if (!baud || (*baud != now.baud && !now.jumperFitted))
            return false;
        next.baud = *baud;
        return true;
    }
    case kFormat: {
        const auto format = valueFor(tolvane::kDataFormats, value);
        if (!format)
            return false;
        next.format = *format;
        return true;
    }
    case kProtocol: {
        const auto protocol = valueFor(tolvane::kProtocols, value);
        if (!protocol || (*protocol != now.protocol && !now.jumperFitted))
            return false;
        next.protocol = *protocol;
        return true;
    }
    }
    return false;
}

// The exception the frame earns, or 0; a write goes to `next` only. The whole frame is checked
// before libmodbus sees it: it reads the request's fields without knowing its length.
int check(const std::string &frame, const ModuleState &now, ModuleState &next,
          const std::function<bool(int)> &addressTaken)
{
    const std::size_t size = frame.size(); // CRC included
    switch (byteAt(frame, 1)) {
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS: {
        if (size != 8)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        const int count = wordAt(frame, 4);
        if (count < 1 || count > MODBUS_MAX_READ_REGISTERS)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        const int registers =
            byteAt(frame, 1) == MODBUS_FC_READ_HOLDING_REGISTERS ? kHoldingCount : kInputCount;
        return wordAt(frame, 2) + count > registers ? MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS : 0;
    }
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        if (size != 8)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        if (wordAt(frame, 2) >= kHoldingCount)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
        return write(next, now, wordAt(frame, 2), wordAt(frame, 4), addressTaken)
                   ? 0
                   : MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS: {
        const int count = size >= 9 ? wordAt(frame, 4) : 0;
        if (count < 1 || count > MODBUS_MAX_WRITE_REGISTERS || byteAt(frame, 6) != 2 * count ||
            size != 9 + 2 * static_cast<std::size_t>(count))
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        const int first = wordAt(frame, 2);
        if (first + count > kHoldingCount)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
        for (int i = 0; i < count; ++i) {
            if (!write(next, now, first + i, wordAt(frame, 7 + 2 * i), addressTaken))
                return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
        }
        return 0;
    }
    default:
        return MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    }
}

// The CRC travels low byte first.
bool crcHolds(const std::string &frame)
{
    const std::size_t size = frame.size();
    return size >= 4 && modbusCrc(frame.substr(0, size - 2)) ==
                            (byteAt(frame, size - 2) | byteAt(frame, size - 1) << 8);
}

std::string exceptionNote(int code)
{
    const char *name = code == MODBUS_EXCEPTION_ILLEGAL_FUNCTION       ? "illegal function"
                       : code == MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS ? "illegal data address"
                                                                       : "illegal data value";
    return "exception 0" + std::to_string(code) + " (" + name + ')';
}

[[noreturn]] void fail(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

using Mapping = std::unique_ptr<modbus_mapping_t, decltype(&modbus_mapping_free)>;

Mapping registersOf(const ModuleState &state, double volts)
{
    Mapping mapping(modbus_mapping_new(0, 0, kHoldingCount, kInputCount), modbus_mapping_free);
    if (!mapping)
        fail("modbus_mapping_new");
    const auto word = [](int value) { return static_cast<std::uint16_t>(value & 0xFFFF); };
    mapping->tab_input_registers[kReading] = word(readingValue(volts, state.format));
    mapping->tab_input_registers[kMillivolts] = word(readingValue(volts, DataFormat::Engineering));
    mapping->tab_registers[kAddress] = word(state.address);
    mapping->tab_registers[kRate] = word(rateCode(state.baud));
    mapping->tab_registers[kFormat] = word(codeFor(tolvane::kDataFormats, state.format));
    mapping->tab_registers[kProtocol] = word(codeFor(tolvane::kProtocols, state.protocol));
    return mapping;
}

// libmodbus builds a reply with its CRC and write()s it to the context's socket: here a pipe
// that the reply is read back from.
class RtuReplies
{
public:
    RtuReplies()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            fail("pipe2");
        m_read.fd = ends[0];
        m_write.fd = ends[1];
        // The device is never opened; the rate and framing only matter to an opened port.
        m_context.reset(modbus_new_rtu("/dev/null", tolvane::kDefaultBaudRate, 'N', 8, 1));
        if (!m_context || modbus_set_socket(m_context.get(), m_write.fd) != 0)
            fail("modbus_new_rtu");
    }

    std::string reply(const std::string &frame, modbus_mapping_t *mapping)
    {
        return sent(
            modbus_reply(m_context.get(), bytes(frame), static_cast<int>(frame.size()), mapping));
    }

    std::string exception(std::string frame, int code)
    {
        // libmodbus answers function + 0x80, which for a request with the top bit already set
        // would wrap to a plain reply's function code.
        frame[1] = static_cast<char>(byteAt(frame, 1) & 0x7F);
        return sent(
            modbus_reply_exception(m_context.get(), bytes(frame), static_cast<unsigned>(code)));
    }

private:
    static const std::uint8_t *bytes(const std::string &frame)
    {
        return reinterpret_cast<const std::uint8_t *>(frame.data());
    }

    // A write of one frame into the empty pipe is atomic, so one read takes all of it.
    std::string sent(int length)
    {
        if (length <= 0)
            fail("modbus_reply");
        char buffer[MODBUS_RTU_MAX_ADU_LENGTH + 16];
        const ssize_t got = ::read(m_read.fd, buffer, sizeof buffer);
        if (got != length)
            fail("reading the reply back");
        return std::string(buffer, static_cast<std::size_t>(got));
    }

    Fd m_read;
    Fd m_write;
    std::unique_ptr<modbus_t, decltype(&modbus_free)> m_context{nullptr, modbus_free};
};

} // namespace

ModbusOutcome answerModbus(ModuleState &state, const std::string &frame, double volts,
                           const std::function<bool(int)> &addressTaken)
{
    if (!crcHolds(frame))
        return {{}, "bad CRC"};
    const bool broadcast = byteAt(frame, 0) == kBroadcastAddress;
    if (!broadcast && byteAt(frame, 0) != state.address)
        return {{}, "other address"};
    const int function = byteAt(frame, 1);
    if (broadcast && (function == MODBUS_FC_READ_HOLDING_REGISTERS ||
                      function == MODBUS_FC_READ_INPUT_REGISTERS))
        return {{}, "broadcast read"};

    ModuleState next = state;
    const int exception = check(frame, state, next, addressTaken);
    if (broadcast) {
        if (exception != 0)
            return {{}, "broadcast, not obeyed: " + exceptionNote(exception)};
        state = next;
        return {{}, "broadcast"};
    }
    RtuReplies replies;
    if (exception != 0)
        return {replies.exception(frame, exception), exceptionNote(exception)};
    std::string reply = replies.reply(frame, registersOf(state, volts).get());
    state = next;
    return {reply, {}};
}

std::uint16_t modbusCrc(const std::string &bytes)
{
    return tolvane::modbusCrc(bytes);
}

const std::vector<RegisterRow> &registerMap()
{
    // clang-format off
    static const std::vector<RegisterRow> rows = {
        {'I', kReading, "reading",
         "The reading as the data format shows it, without sign and point, signed 16-bit: "
         "engineering units in mV (+05.123 is 5123), percent of full scale in 0.01 % "
         "(+051.23 is 5123), two's complement hex the counts (>1A2B is 0x1A2B)"},
        {'I', kMillivolts, "millivolts", "The reading in mV whatever the data format, signed 16-bit"},
        {'H', kAddress, "address",
         "The module's address, 1 to 247; one that another module on the line has is refused"},
        {'H', kRate, "rate",
         "Rate code as in the configuration command, 1 (300) to 10 (115200); another rate needs "
         "the jumper, and the module listens at it after its reply"},
        {'H', kFormat, "format",
         "Data format code: 0 engineering units, 1 percent of full scale, 2 two's complement "
         "hex; takes effect at once"},
        {'H', kProtocol, "protocol",
         "1 MODBUS RTU; writing 0 returns to the character protocol after the reply, with the "
         "jumper fitted only"},
    };
    // clang-format on
    return rows;
}

} // namespace sim
