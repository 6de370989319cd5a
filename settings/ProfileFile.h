#pragma once
// A profile file on disk, read and written key by key through the platform. Nothing is cached
// between calls; every write replaces the file atomically, so a crash or a full disk leaves
// either the old or the new file.

#include "platform/Platform.h"
#include "settings/ProfileText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

class ProfileFile {
public:
    explicit ProfileFile(std::string path, Platform& platform = Platform::system());

    const std::string& path() const { return path_; }

    // A missing or unreadable file, or an absent key, gives `fallback`. Never reports an error.
    std::string readString(std::string_view section, std::string_view key,
                           const std::string& fallback) const;
    // An absent key or a text that is no number gives `fallback`.
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // Read as an integer with default 1 or 0; anything but 0 is true.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // Sets every entry in order and replaces the file once. A refused write leaves the file as
    // it was, no entry written, and says why.
    Result<void> write(const std::vector<ProfileEntry>& entries);
    Result<void> writeString(std::string_view section, std::string_view key,
                             std::string_view value);
    Result<void> writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    Result<void> writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::string path_;
    Platform& platform_;
};

} // namespace kestrine
