#pragma once
// A platform whose file steps can be refused one at a time, counted over the whole test.

#include "platform/PlatformPosix.h"

namespace kestrine::testing {

class FailingIO : public PosixPlatform {
public:
    bool failLoad = false;
    bool failCreate = false;
    bool failSync = false;
    bool failPermissions = false;
    // Fail the rename of this replacement (1 = the first write); 0 never.
    int failReplacement = 0;
    // The disk fills after this many bytes of one temporary file; -1 never.
    long long diskFullAfter = -1;

    int replacements = 0;
    // A clock that only waiting moves, so a wait for a lock takes no time.
    std::int64_t clockMs = 0;

    Result<FileHandle> openShared(const std::string& path) override {
        if (failLoad)
            return Failure{"Input/output error"};
        return PosixPlatform::openShared(path);
    }
    Result<FileHandle> createTemporary(std::string& pathTemplate) override {
        written_ = 0;
        if (failCreate)
            return Failure{"Permission denied"};
        return PosixPlatform::createTemporary(pathTemplate);
    }
    Result<std::size_t> write(int fd, const void* data, std::size_t count) override {
        if (diskFullAfter >= 0) {
            long long room = diskFullAfter - written_;
            if (room <= 0)
                return Failure{"No space left on device"};
            if (static_cast<long long>(count) > room)
                count = static_cast<std::size_t>(room);
        }
        Result<std::size_t> n = PosixPlatform::write(fd, data, count);
        if (n)
            written_ += static_cast<long long>(*n);
        return n;
    }
    Result<void> copyPermissions(int handle, const std::optional<FileStatus>& from) override {
        if (failPermissions)
            return Failure{"Operation not permitted"};
        return PosixPlatform::copyPermissions(handle, from);
    }
    Result<void> syncFile(int fd) override {
        if (failSync)
            return Failure{"Input/output error"};
        return PosixPlatform::syncFile(fd);
    }
    Result<void> renameFile(const std::string& from, const std::string& to) override {
        if (++replacements == failReplacement)
            return Failure{"Read-only file system"};
        return PosixPlatform::renameFile(from, to);
    }

    std::int64_t nowMs() override { return clockMs; }
    void sleepMs(int milliseconds) override { clockMs += milliseconds; }

private:
    long long written_ = 0;
};

} // namespace kestrine::testing
