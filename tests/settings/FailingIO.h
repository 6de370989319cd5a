#pragma once
// A platform whose file steps can be refused one at a time, counted over the whole test.

#include "platform/Platform.h"

namespace kestrine::testing {

class FailingIO : public Platform {
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

    int openShared(const std::string& path, std::string& why) override {
        if (failLoad) {
            why = "Input/output error";
            return -1;
        }
        return Platform::openShared(path, why);
    }
    int createTemporary(std::string& pathTemplate, std::string& why) override {
        written_ = 0;
        if (failCreate) {
            why = "Permission denied";
            return -1;
        }
        return Platform::createTemporary(pathTemplate, why);
    }
    std::int64_t write(int fd, const void* data, std::size_t count, std::string& why) override {
        if (diskFullAfter >= 0) {
            long long room = diskFullAfter - written_;
            if (room <= 0) {
                why = "No space left on device";
                return -1;
            }
            if (static_cast<long long>(count) > room)
                count = static_cast<std::size_t>(room);
        }
        std::int64_t n = Platform::write(fd, data, count, why);
        if (n > 0)
            written_ += n;
        return n;
    }
    bool copyPermissions(int handle, const std::optional<FileStatus>& from,
                         std::string& why) override {
        if (failPermissions) {
            why = "Operation not permitted";
            return false;
        }
        return Platform::copyPermissions(handle, from, why);
    }
    bool syncFile(int fd, std::string& why) override {
        if (failSync) {
            why = "Input/output error";
            return false;
        }
        return Platform::syncFile(fd, why);
    }
    bool renameFile(const std::string& from, const std::string& to, std::string& why) override {
        if (++replacements == failReplacement) {
            why = "Read-only file system";
            return false;
        }
        return Platform::renameFile(from, to, why);
    }

private:
    long long written_ = 0;
};

} // namespace kestrine::testing
