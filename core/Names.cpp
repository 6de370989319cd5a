#include "core/Names.h"

#include "core/Fields.h"
#include "core/Text.h"

#include <cstdint>
#include <stdexcept>

namespace kestrine {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of an all-digit run when it fits a signed 32-bit number; leading zeros do not count.
std::int64_t counterValue(std::string_view run) {
    std::int64_t value = 0;
    for (char c : run) {
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            throw std::invalid_argument(notANumberMessage(std::string(run)));
    }
    return value;
}

} // namespace

std::optional<std::string> nextFileName(std::string_view source) {
    if (trimmed(source).empty())
        return std::nullopt;

    const std::string folder = directoryPart(source);
    const std::string name = namePart(source);
    const auto dot = name.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    const std::string base = name.substr(0, name.size() - extension.size());

    if (base.empty() || !isDigit(base.back()))
        return folder + base + "2" + extension;

    std::size_t k = base.size();
    while (k > 0 && isDigit(base[k - 1]))
        --k;
    // 2147483647 counts on to 2147483648: the next name is still the plain successor, and the
    // sum is formed in 64 bits so it cannot wrap to a negative number.
    const std::int64_t next = counterValue(std::string_view(base).substr(k)) + 1;
    return folder + base.substr(0, k) + std::to_string(next) + extension;
}

std::string dialogStartFolder(Platform& platform, const std::string& lastPath, bool prefSwitch,
                              const std::string& prefPath, const std::string& fieldText) {
    std::string folder;
    auto exists = [&](const std::string& path) {
        return !path.empty() && platform.directoryExists(path);
    };
    if (exists(lastPath))
        folder = lastPath;
    if (prefSwitch && exists(prefPath))
        folder = prefPath;
    if (const std::string fieldFolder = directoryPart(fieldText); exists(fieldFolder))
        folder = fieldFolder;
    return folder;
}

bool sameFileNames(Platform& platform, const std::string& a, const std::string& b) {
    // Names are taken as the system takes them: other letters or spaces name another file.
    if (platform.sameFile(a, b))
        return true;
    return !a.empty() && platform.resolvedPath(a) == platform.resolvedPath(b);
}

} // namespace kestrine
