#include "settings/ProfileFile.h"

namespace kestrine {

ProfileFile::ProfileFile(std::string path, Platform& platform)
    : path_(std::move(path)), platform_(platform) {}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    const std::string& fallback) const {
    std::string content;
    if (platform_.loadFile(path_, kProfileFileLimit, content) != LoadResult::Ok)
        return fallback;
    std::optional<std::string> value = findProfileValue(content, section, key);
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

bool ProfileFile::write(const std::vector<ProfileEntry>& entries) {
    lastError_.clear();
    std::string content;
    if (platform_.loadFile(path_, kProfileFileLimit, content) == LoadResult::Failed) {
        // Replacing a file we cannot read would throw its other contents away.
        lastError_ = "The file cannot be read";
        return false;
    }
    ProfileText text(std::move(content));
    for (const ProfileEntry& entry : entries) {
        if (!text.set(entry.section, entry.key, entry.value)) {
            lastError_ = "The value cannot be stored in a profile file";
            return false;
        }
    }
    return platform_.replaceFile(path_, text.text(), lastError_);
}

bool ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    return write({{section, key, std::string(value)}});
}

bool ProfileFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return writeString(section, key, formatProfileInteger(value));
}

bool ProfileFile::writeBool(std::string_view section, std::string_view key, bool value) {
    return writeString(section, key, value ? "1" : "0");
}

} // namespace kestrine
