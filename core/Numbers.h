#pragma once
// Number conversion and the two output forms shared by every number field and message.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrine {

// Text to signed 64-bit: leading spaces, optional sign, optional hexadecimal prefix
// ("$", "x", "X", "0x", "0X"; at most 16 significant digits, two's complement), the whole text.
std::optional<std::int64_t> parseNumber(std::string_view text);
// Bare hexadecimal digits: "0x" is put in front and parseNumber applied.
std::optional<std::int64_t> parseHex(std::string_view digits);

// The value of one hexadecimal digit, either case; -1 for any other character.
int hexDigit(char c);

// Plain signed decimal, no grouping.
std::string toDec(std::int64_t value);
// Upper-case hexadecimal, no prefix or leading zeros; negatives as 16-digit two's complement.
std::string toHex(std::int64_t value);

} // namespace kestrine
