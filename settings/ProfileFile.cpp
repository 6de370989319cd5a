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

std::string ProfileFile::lockPath() const {
    const std::size_t slash = path_.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    return path_.substr(0, nameAt) + "." + path_.substr(nameAt) + ".lock";
}

Result<FileHandle> ProfileFile::lock() {
    const std::int64_t deadline = platform_.nowMs() + kProfileLockWaitMs;
    for (;;) {
        Result<std::optional<FileHandle>> held = platform_.tryLock(lockPath());
        if (!held)
            return held.failure();
        if (*held)
            return std::move(**held);
        if (platform_.nowMs() >= deadline)
            return Failure{"Another program is writing the file"};
        platform_.sleepMs(kProfileLockPollMs);
    }
}

Result<void> ProfileFile::write(const std::vector<ProfileEntry>& entries) {
    // Held from reading the file to replacing it, so that a second Kestrine saving at the same
    // moment starts from this write's result instead of losing it.
    Result<FileHandle> turn = lock();
    if (!turn)
        return turn.failure();
    Result<void> written = writeLocked(entries);
    // Removed while still held: a writer waiting on it then finds its name gone and makes anew.
    (void)platform_.deleteFile(lockPath());
    return written;
}

Result<void> ProfileFile::writeLocked(const std::vector<ProfileEntry>& entries) {
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

} // namespace kestrine
