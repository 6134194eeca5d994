#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Exactly two hex digits, either case: "1a" -> 0x1A.
std::optional<int> parseHexByte(const std::string &text);
// Two upper-case hex digits, as the module writes addresses.
std::string hexByte(int value);
// Printable ASCII as is, CR/LF/TAB as \r \n \t, quote and backslash escaped, the rest \xHH.
std::string escaped(const std::string &bytes);
// Bytes as upper-case hex pairs with a blank between: "01 04 00 00".
std::string hexBytes(const std::string &bytes);
// Up to `count` non-empty pieces of near-equal length that concatenate to `bytes`.
std::vector<std::string> splitInPieces(const std::string &bytes, std::size_t count);

} // namespace sim
