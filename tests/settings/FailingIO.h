#pragma once
// File operations that refuse one chosen step, counted over the whole test.

#include "settings/ProfileFile.h"

#include <cerrno>

namespace kestrine::testing {

class FailingIO : public ProfileIO {
public:
    bool failLoad = false;
    bool failCreate = false;
    bool failSync = false;
    // Fail the rename of this replacement (1 = the first write); 0 never.
    int failReplacement = 0;
    // The disk fills after this many bytes of one temporary file; -1 never.
    long long diskFullAfter = -1;

    int replacements = 0;

    Load load(const std::string& path, std::string& content) override {
        if (failLoad)
            return Load::Failed;
        return ProfileIO::load(path, content);
    }
    int createTemp(std::string& pathTemplate) override {
        written_ = 0;
        if (failCreate) {
            errno = EACCES;
            return -1;
        }
        return ProfileIO::createTemp(pathTemplate);
    }
    std::int64_t write(int fd, const char* data, std::size_t count) override {
        if (diskFullAfter >= 0) {
            long long room = diskFullAfter - written_;
            if (room <= 0) {
                errno = ENOSPC;
                return -1;
            }
            if (static_cast<long long>(count) > room)
                count = static_cast<std::size_t>(room);
        }
        std::int64_t n = ProfileIO::write(fd, data, count);
        if (n > 0)
            written_ += n;
        return n;
    }
    bool sync(int fd) override {
        if (failSync) {
            errno = EIO;
            return false;
        }
        return ProfileIO::sync(fd);
    }
    bool rename(const std::string& from, const std::string& to) override {
        if (++replacements == failReplacement) {
            errno = EROFS;
            return false;
        }
        return ProfileIO::rename(from, to);
    }

private:
    long long written_ = 0;
};

} // namespace kestrine::testing
