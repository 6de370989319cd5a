// The number conversion against an independent reference on many generated texts.

#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <random>

using namespace kestrine;

namespace {

// A second, differently built reading of the same rule, on std::from_chars.
std::optional<std::int64_t> reference(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool neg = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        neg = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    for (std::string_view marker : {"0x", "0X", "$", "x", "X"}) {
        if (s.starts_with(marker)) {
            base = 16;
            s.remove_prefix(marker.size());
            break;
        }
    }
    if (s.empty() || s.front() == '+' || s.front() == '-')
        return std::nullopt;
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    if (base == 10 && v > (neg ? (std::uint64_t{1} << 63) : std::uint64_t{INT64_MAX}))
        return std::nullopt;
    return static_cast<std::int64_t>(neg ? ~v + 1 : v);
}

TEST(NumberConversionFuzz, AgreesWithTheReference) {
    const std::string alphabet = " +-$xX0000123456789abcdefABCDEF.";
    std::mt19937 gen(20261208);
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const int len = static_cast<int>(gen() % 22);
        for (int k = 0; k < len; ++k)
            text.push_back(alphabet[gen() % alphabet.size()]);
        ASSERT_EQ(parseNumber(text), reference(text)) << "text: '" << text << "'";
    }
}

TEST(NumberConversionFuzz, LongDigitRunsNearTheLimits) {
    std::mt19937 gen(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text = (gen() % 2 ? "-" : "") + std::string(gen() % 2 ? "0x" : "");
        const int len = 15 + static_cast<int>(gen() % 6);
        for (int k = 0; k < len; ++k)
            text.push_back(
                "0123456789ABCDEF"[gen() % (text.find('x') != std::string::npos ? 16 : 10)]);
        ASSERT_EQ(parseNumber(text), reference(text)) << "text: '" << text << "'";
    }
}

} // namespace
