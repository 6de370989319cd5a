#include "core/Text.h"

#include <cmath>
#include <cstdint>

#ifndef KESTRINE_VERSION_MAJOR
#define KESTRINE_VERSION_MAJOR 0
#define KESTRINE_VERSION_MINOR 0
#define KESTRINE_VERSION_RELEASE 0
#define KESTRINE_VERSION_BUILD 0
#endif

namespace kestrine {

std::string directoryPart(std::string_view path) {
    auto pos = path.find_last_of('/');
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string namePart(std::string_view path) {
    auto pos = path.find_last_of('/');
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string groupThousands(std::int64_t value, std::string_view separator) {
    // Work on the unsigned magnitude so that the most negative value has one too.
    std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.append(separator);
        out.push_back(digits[i]);
    }
    return value < 0 ? "-" + out : out;
}

namespace {

// Half away from zero, saturating: the figures shown never exceed the 64-bit range.
std::int64_t roundHalfUp(double x) {
    double r = std::floor(std::fabs(x) + 0.5);
    if (r >= 9.2233720368547758e18)
        return x < 0 ? INT64_MIN : INT64_MAX;
    return x < 0 ? -static_cast<std::int64_t>(r) : static_cast<std::int64_t>(r);
}

} // namespace

std::string sizeTextWith(std::int64_t count, std::string_view separator) {
    std::string kilo =
        count >= 1024
            ? groupThousands(roundHalfUp(static_cast<double>(count) / 1024.0), separator) + "KB"
            : std::string("1KB");
    return groupThousands(count, separator) + " bytes (" + kilo + ")";
}

std::string formatSeconds(double seconds, std::string_view separator) {
    return groupThousands(roundHalfUp(seconds), separator);
}

std::string versionText() {
    return "Version " + std::to_string(KESTRINE_VERSION_MAJOR) + "." +
           std::to_string(KESTRINE_VERSION_MINOR) + " Release " +
           std::to_string(KESTRINE_VERSION_RELEASE) + " Build " +
           std::to_string(KESTRINE_VERSION_BUILD);
}

std::string generalErrorText(std::string_view message) {
    std::string out(message);
    if (!out.empty() && static_cast<unsigned char>(out.back()) > '.')
        out.push_back('.');
    return out;
}

} // namespace kestrine
