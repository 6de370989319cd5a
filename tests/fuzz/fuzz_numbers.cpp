// The number conversion and the "d"/"h" number parameters of the command line.
// Properties: an accepted text gives the value an independent reading gives, and exactly the
// texts that reading accepts are accepted (nothing beyond 64 bits); the value converts back
// from its decimal and its hexadecimal output; a parameter fills its two fields with the same
// value, or is refused with the lines that say so.

#include "FuzzCheck.h"

#include "core/AppState.h"
#include "core/CommandLine.h"
#include "core/ConsoleHost.h"
#include "core/Numbers.h"
#include "platform/PlatformPosix.h"

#include <cstdint>
#include <optional>
#include <string>

using namespace kestrine;
using kestrine::fuzz::require;

namespace {

__extension__ typedef unsigned __int128 U128;

int digitValue(char c, int base) {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    return d < base ? d : -1;
}

// The rule read again, on 128-bit arithmetic: leading spaces, a sign, "$", "x", "X", "0x" or
// "0X" for hexadecimal, digits to the end. Decimal must fit the signed range; hexadecimal is a
// 64-bit pattern (two's complement), so more than 64 bits are refused.
std::optional<std::int64_t> reference(std::string_view s) {
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return std::nullopt;
    s.remove_prefix(i);
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        base = 16;
        s.remove_prefix(2);
    } else if (!s.empty() && (s.front() == '$' || s.front() == 'x' || s.front() == 'X')) {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    const U128 cap = U128{1} << 65; // anything larger is out of range either way
    U128 magnitude = 0;
    for (char c : s) {
        int d = digitValue(c, base);
        if (d < 0)
            return std::nullopt;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (magnitude > cap)
            magnitude = cap;
    }
    const U128 limit = base == 16 ? ~std::uint64_t{0} : negative ? U128{1} << 63 : U128{INT64_MAX};
    if (magnitude > limit)
        return std::nullopt;
    auto bits = static_cast<std::uint64_t>(magnitude);
    return static_cast<std::int64_t>(negative ? ~bits + 1 : bits);
}

void checkConversion(std::string_view text) {
    const std::optional<std::int64_t> value = parseNumber(text);
    require(value == reference(text), "conversion agrees with the reference reading");
    if (!value)
        return;
    const std::string dec = toDec(*value);
    const std::string hex = toHex(*value);
    require(parseNumber(dec) == value, "decimal output converts back");
    require(parseHex(hex) == value, "hexadecimal output converts back");
    require(parseNumber("$" + hex) == value, "prefixed hexadecimal output converts back");
    require(hex.size() <= 16 && (hex.size() == 1 || hex.front() != '0'), "no leading zeros");
    for (char c : hex)
        require((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'), "upper-case hexadecimal");
}

// Just enough platform for a command-line run whose source does not exist: nothing is opened,
// nothing is written anywhere.
class NoFiles : public PosixPlatform {
public:
    Result<FileHandle> openExclusive(const std::string&) override { return Failure{"absent"}; }
    bool fileExists(const std::string&) override { return false; }
    bool directoryExists(const std::string&) override { return false; }
    bool sameFile(const std::string&, const std::string&) override { return false; }
    bool consoleAvailable() override { return true; }
    bool attachConsole() override { return true; }
    void writeConsole(std::string_view) override {}
    Result<void> flushConsole() override { return {}; }
    std::string executablePath() override { return "/opt/kestrine/kestrine"; }
};

bool hasLine(const ConsoleHost& host, const std::string& text) {
    for (const auto& line : host.log())
        if (line.text == text)
            return true;
    return false;
}

void checkParameters(const std::string& start, const std::string& offset) {
    AppState state;
    NoFiles platform;
    ConsoleHost host(state, platform);
    Context ctx{state, host, platform};
    RunCommandLine(ctx, {"in.bin", "out/out.bin", start, offset});
    require(state.ExitCode == 1, "a run without a source ends with status 1");

    struct Param {
        const std::string& text;
        const char* what;
        Field dec, hex;
    };
    for (const Param& p : {Param{start, "Start position", Field::StartDec, Field::StartHex},
                           Param{offset, "Offset length", Field::OffsetDec, Field::OffsetHex}}) {
        const char suffix = p.text.empty() ? '\0' : static_cast<char>(p.text.back() | 0x20);
        const std::string digits = p.text.substr(0, p.text.empty() ? 0 : p.text.size() - 1);
        // -1 stands for failure in the hexadecimal reading, so sixteen F are refused too.
        std::optional<std::int64_t> expected;
        if (suffix == 'd')
            expected = reference(digits);
        else if (suffix == 'h')
            expected = reference("0x" + digits);
        if (suffix == 'h' && expected == std::optional<std::int64_t>(-1))
            expected.reset();
        const bool accepted = expected.has_value();
        const std::int64_t value = expected.value_or(0);

        const bool refused =
            hasLine(host, "ERROR: " + std::string(p.what) + " was not specified correctly.");
        require(refused == !accepted, "accepted exactly when the reference accepts");
        if (!accepted)
            continue;
        const std::string decField = host.fieldText(p.dec);
        const std::string hexField = host.fieldText(p.hex);
        require(parseNumber(decField) == value, "decimal field holds the value");
        require(parseHex(hexField) == value, "hexadecimal field holds the value");
        if (suffix == 'd')
            require(decField == digits && hexField == toHex(value), "d fills its fields");
        else
            require(hexField == digits && decField == toDec(value), "h fills its fields");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Number texts are short; long inputs only repeat what short ones show.
    if (size > 256)
        return 0;
    const auto parts = kestrine::fuzz::splitAtNul(input);
    for (std::string_view part : parts)
        checkConversion(part);
    checkParameters(std::string(parts[0]), std::string(parts.size() > 1 ? parts[1] : parts[0]));
    return 0;
}
