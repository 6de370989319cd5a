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

// How long a write waits for another process's write of the same file, and how often it
// looks: short, since the window waits meanwhile.
inline constexpr std::int64_t kProfileLockWaitMs = 2000;
inline constexpr int kProfileLockPollMs = 10;

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

    // Sets every entry in order and replaces the file once, holding the lock file beside it
    // (".<name>.lock") from reading to replacing, and removing it then. A refused write leaves the
    // file as it was, no entry written, and says why; so does a lock held elsewhere beyond
    // kProfileLockWaitMs.
    Result<void> write(const std::vector<ProfileEntry>& entries);
    Result<void> writeString(std::string_view section, std::string_view key,
                             std::string_view value);

private:
    // The lock file beside the file's own name (not a link's target): the folder Kestrine keeps
    // its files in, so nothing is added to a folder a link points into.
    std::string lockPath() const;
    // Waits up to kProfileLockWaitMs for the lock, polling so the wait can be given up.
    Result<FileHandle> lock();
    Result<void> writeLocked(const std::vector<ProfileEntry>& entries);

    std::string path_;
    Platform& platform_;
};

} // namespace kestrine
