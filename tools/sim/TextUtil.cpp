#include "TextUtil.h"

#include <cctype>
#include <cstdio>

namespace sim {

std::optional<int> parseHexByte(const std::string &text)
{
    if (text.size() != 2 || !std::isxdigit(static_cast<unsigned char>(text[0])) ||
        !std::isxdigit(static_cast<unsigned char>(text[1])))
        return std::nullopt;
    return std::stoi(text, nullptr, 16);
}

std::string hexByte(int value)
{
    char buffer[3];
    std::snprintf(buffer, sizeof buffer, "%02X", value & 0xFF);
    return buffer;
}

std::string escaped(const std::string &bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string hexBytes(const std::string &bytes)
{
    std::string out;
    for (const char c : bytes)
        out += (out.empty() ? "" : " ") + hexByte(static_cast<unsigned char>(c));
    return out;
}

std::vector<std::string> splitInPieces(const std::string &bytes, std::size_t count)
{
    std::vector<std::string> pieces;
    if (count == 0)
        count = 1;
    const std::size_t base = bytes.size() / count;
    const std::size_t extra = bytes.size() % count;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos < bytes.size(); ++i) {
        const std::size_t length = base + (i < extra ? 1 : 0);
        pieces.push_back(bytes.substr(pos, length));
        pos += length;
    }
    return pieces;
}

} // namespace sim
