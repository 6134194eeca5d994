#pragma once

// The module's rates, data formats and protocols with the codes its commands carry. Plain C++:
// the simulated module, which links no Qt, answers from these same tables.

namespace tolvane {

struct BaudRate
{
    int rate;
    const char *code;
};

inline constexpr BaudRate kBaudRates[] = {
    {300, "01"},  {600, "02"},   {1200, "03"},  {2400, "04"},  {4800, "05"},
    {9600, "06"}, {19200, "07"}, {38400, "08"}, {57600, "09"}, {115200, "0A"},
};
inline constexpr int kDefaultBaudRate = 9600;

// Null for a rate the module does not have.
constexpr const char *baudCode(int rate)
{
    for (const BaudRate &baud : kBaudRates) {
        if (baud.rate == rate)
            return baud.code;
    }
    return nullptr;
}
static_assert(baudCode(kDefaultBaudRate) != nullptr);

enum class DataFormat { Engineering, PercentOfFullScale, TwosComplementHex };
enum class Protocol { Character, ModbusRtu };

// A list entry as the window shows it (UTF-8), its code, and what it means in English.
template<typename Value>
struct CodedEntry
{
    Value value;
    const char *entry;
    const char *code;
    const char *meaning;
};

inline constexpr CodedEntry<DataFormat> kDataFormats[] = {
    {DataFormat::Engineering, "工程单位", "00", "Engineering units"},
    {DataFormat::PercentOfFullScale, "满刻度的百分比", "01", "Percent of full scale"},
    {DataFormat::TwosComplementHex, "16进制的补码", "02", "Two's complement, hexadecimal"},
};

inline constexpr CodedEntry<Protocol> kProtocols[] = {
    {Protocol::Character, "字符通讯协议", "0", "Character (text) protocol"},
    {Protocol::ModbusRtu, "MODBUS RTU", "1",
     "MODBUS RTU (binary; the module stops answering text commands)"},
};

} // namespace tolvane
