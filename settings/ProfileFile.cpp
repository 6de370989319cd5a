#include "settings/ProfileFile.h"

namespace kestrine {

ProfileFile::ProfileFile(std::string path, Platform& platform)
    : path_(std::move(path)), platform_(platform) {}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    const std::string& fallback) const {
    const Result<std::optional<std::string>> content =
        loadFile(platform_, path_, kProfileFileLimit);
    if (!content || !*content)
        return fallback;
    std::optional<std::string> value = findProfileValue(**content, section, key);
    return value ? *value : fallback;
}

std::int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t fallback) const {
    std::string text = readString(section, key, std::string());
    return parseProfileInteger(text).value_or(fallback);
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

Result<void> ProfileFile::write(const std::vector<ProfileEntry>& entries) {
    Result<std::optional<std::string>> content = loadFile(platform_, path_, kProfileFileLimit);
    // Replacing a file we cannot read would throw its other contents away.
    if (!content)
        return Failure{"The file cannot be read: " + content.why()};
    ProfileText text(std::move(*content).value_or(std::string()));
    for (const ProfileEntry& entry : entries) {
        if (!text.set(entry.section, entry.key, entry.value))
            return Failure{"The value cannot be stored in a profile file"};
    }
    return replaceFile(platform_, path_, text.text());
}

Result<void> ProfileFile::writeString(std::string_view section, std::string_view key,
                                      std::string_view value) {
    return write({{section, key, std::string(value)}});
}

Result<void> ProfileFile::writeInteger(std::string_view section, std::string_view key,
                                       std::int32_t value) {
    return writeString(section, key, formatProfileInteger(value));
}

Result<void> ProfileFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

} // namespace kestrine
