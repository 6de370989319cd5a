#include "core/Numbers.h"

#include <cstdint>

namespace kestrine {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::int64_t> parseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }

    std::uint64_t magnitude = 0;
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    const std::size_t firstDigit = i;
    if (hex) {
        int significant = 0;
        for (; i < text.size(); ++i) {
            int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            if (significant > 0 || d != 0)
                ++significant;
            if (significant > 16)
                return std::nullopt;
            magnitude = (magnitude << 4) | static_cast<std::uint64_t>(d);
        }
    } else {
        // The magnitude may reach 2^63 only for a negative value.
        const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : INT64_MAX;
        for (; i < text.size(); ++i) {
            char c = text[i];
            if (c < '0' || c > '9')
                return std::nullopt;
            std::uint64_t d = static_cast<std::uint64_t>(c - '0');
            if (magnitude > (limit - d) / 10)
                return std::nullopt;
            magnitude = magnitude * 10 + d;
        }
    }
    if (i == firstDigit)
        return std::nullopt;
    // Two's complement throughout: hexadecimal patterns and the negation wrap as 64-bit values.
    std::uint64_t bits = negative ? ~magnitude + 1 : magnitude;
    return static_cast<std::int64_t>(bits);
}

std::optional<std::int64_t> parseHex(std::string_view digits) {
    std::string text = "0x";
    text.append(digits);
    return parseNumber(text);
}

std::string toDec(std::int64_t value) {
    return std::to_string(value);
}

std::string toHex(std::int64_t value) {
    static const char digits[] = "0123456789ABCDEF";
    auto bits = static_cast<std::uint64_t>(value);
    std::string out;
    do {
        out.insert(out.begin(), digits[bits & 0xF]);
        bits >>= 4;
    } while (bits != 0);
    return out;
}

} // namespace kestrine
