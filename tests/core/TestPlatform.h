#pragma once
// The real platform with hooks: captured console, simulated free space, failing reads and writes.

#include "platform/Platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrine::testing {

// How the call chosen by TestPlatform::failCallAt fails. Partial moves half of the bytes and
// succeeds (as reads and writes may); Short reads nothing (the file ended early) or writes half
// and then finds the disk full.
enum class Fault { Partial, Short, NoSpace, IoError, Locked, CloseFails };

// The ways each counted call can really fail; a query that fails answers "no" (or -1, or the
// name unresolved).
inline const std::map<std::string, std::vector<Fault>>& faultsOfCalls() {
    static const std::map<std::string, std::vector<Fault>> faults = {
        {"openExclusive", {Fault::Locked, Fault::IoError}},
        {"openShared", {Fault::IoError}},
        {"createExclusive", {Fault::Locked, Fault::NoSpace, Fault::IoError}},
        {"seek", {Fault::IoError}},
        {"read", {Fault::Partial, Fault::Short, Fault::IoError}},
        {"write", {Fault::Partial, Fault::Short, Fault::NoSpace, Fault::IoError}},
        {"close", {Fault::CloseFails}},
        {"sizeOf", {Fault::IoError}},
        {"fileExists", {Fault::IoError}},
        {"directoryExists", {Fault::IoError}},
        {"sameFile", {Fault::IoError}},
        {"deleteFile", {Fault::IoError}},
        {"freeBytes", {Fault::IoError}},
        {"resolveLinks", {Fault::IoError}},
        {"regularFileStatus", {Fault::IoError}},
        {"mayModify", {Fault::IoError}},
        {"createTemporary", {Fault::NoSpace, Fault::IoError}},
        {"copyPermissions", {Fault::IoError}},
        {"syncFile", {Fault::NoSpace, Fault::IoError}},
        {"renameFile", {Fault::NoSpace, Fault::IoError}},
    };
    return faults;
}

inline const char* faultName(Fault f) {
    switch (f) {
    case Fault::Partial:
        return "partial";
    case Fault::Short:
        return "short";
    case Fault::NoSpace:
        return "no space";
    case Fault::IoError:
        return "I/O error";
    case Fault::Locked:
        return "locked";
    case Fault::CloseFails:
        return "close fails";
    }
    return "?";
}

// Calls whose failure is an answer rather than an error, so either outcome can be right.
inline bool isQueryCall(const std::string& name) {
    return name == "fileExists" || name == "directoryExists" || name == "sameFile" ||
           name == "sizeOf" || name == "freeBytes" || name == "resolveLinks" || name == "mayModify";
}

class TestPlatform : public Platform {
public:
    // Every call that reaches the file system is counted and named in order; the one numbered
    // failCallAt (1-based, 0 never) fails as failKind says.
    int calls = 0;
    std::vector<std::string> callNames;
    int failCallAt = 0;
    Fault failKind = Fault::IoError;
    // The failed call was the close of a file opened for writing.
    bool failedWrittenClose = false;
    // The failure changed nothing: a read cut short where the file ended anyway.
    bool failureUnseen = false;
    // Handles opened and not yet closed, and those opened for writing.
    std::set<int> openHandles;
    std::set<int> writtenHandles;
    bool diskFull = false;

    std::string console;
    std::string standardError;
    bool consoleOk = true;
    std::optional<std::int64_t> free;
    std::string mount = "/mnt/test";
    int failWriteAt = 0; // 1-based number of the write call that fails; 0 never
    int failReadAt = 0;
    int shortReadAt = 0; // this read call reports end of file
    int writes = 0;
    int reads = 0;
    int seeks = 0;
    bool failCreate = false;
    std::int64_t clockMs = 0;
    std::int64_t clockStep = 0;
    std::string separator = ",";

    int openExclusive(const std::string& path, std::string& why) override {
        if (fails("openExclusive", why))
            return -1;
        return opened(Platform::openExclusive(path, why), false);
    }
    int openShared(const std::string& path, std::string& why) override {
        if (fails("openShared", why))
            return -1;
        return opened(Platform::openShared(path, why), false);
    }
    int createExclusive(const std::string& path, std::string& why) override {
        if (fails("createExclusive", why))
            return -1;
        if (failCreate) {
            why = "Permission denied";
            return -1;
        }
        return opened(Platform::createExclusive(path, why), true);
    }
    bool seek(int h, FileOffset p, std::string& why) override {
        ++seeks;
        if (fails("seek", why))
            return false;
        return Platform::seek(h, p, why);
    }
    std::int64_t read(int h, void* b, std::size_t n, std::string& why) override {
        ++reads;
        if (fails("read", why)) {
            if (failKind == Fault::Short) {
                failureUnseen = ::lseek(h, 0, SEEK_CUR) >= Platform::sizeOf(h);
                return 0;
            }
            if (failKind == Fault::Partial)
                return Platform::read(h, b, (n + 1) / 2, why);
            return -1;
        }
        if (reads == failReadAt) {
            why = "Input/output error";
            return -1;
        }
        if (reads == shortReadAt)
            return 0;
        return Platform::read(h, b, n, why);
    }
    std::int64_t write(int h, const void* b, std::size_t n, std::string& why) override {
        ++writes;
        if (fails("write", why)) {
            if (failKind == Fault::Short)
                diskFull = true;
            if (failKind == Fault::Short || failKind == Fault::Partial)
                return Platform::write(h, b, (n + 1) / 2, why);
            return -1;
        }
        if (writes == failWriteAt || diskFull) {
            why = "No space left on device";
            return -1;
        }
        return Platform::write(h, b, n, why);
    }
    bool close(int h, std::string& why) override {
        const bool written = writtenHandles.erase(h) > 0;
        openHandles.erase(h);
        if (fails("close", why)) {
            // The descriptor is gone even when close reports a delayed write error.
            std::string ignored;
            Platform::close(h, ignored);
            failedWrittenClose = written;
            return false;
        }
        return Platform::close(h, why);
    }
    FileOffset sizeOf(int h) override {
        std::string why;
        return fails("sizeOf", why) ? -1 : Platform::sizeOf(h);
    }
    bool fileExists(const std::string& path) override {
        std::string why;
        return !fails("fileExists", why) && Platform::fileExists(path);
    }
    bool directoryExists(const std::string& path) override {
        std::string why;
        return !fails("directoryExists", why) && Platform::directoryExists(path);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        std::string why;
        return !fails("sameFile", why) && Platform::sameFile(a, b);
    }
    bool deleteFile(const std::string& path, std::string& why) override {
        return !fails("deleteFile", why) && Platform::deleteFile(path, why);
    }
    std::int64_t freeBytes(const std::string& folder) override {
        std::string why;
        if (fails("freeBytes", why))
            return -1;
        return free ? *free : Platform::freeBytes(folder);
    }
    std::string mountPoint(const std::string&) override { return mount; }

    std::string resolveLinks(const std::string& path) override {
        std::string why;
        return fails("resolveLinks", why) ? path : Platform::resolveLinks(path);
    }
    std::optional<FileStatus> regularFileStatus(const std::string& path,
                                                std::string& why) override {
        if (fails("regularFileStatus", why))
            return std::nullopt;
        return Platform::regularFileStatus(path, why);
    }
    bool mayModify(const std::string& path, const FileStatus& status) override {
        std::string why;
        return !fails("mayModify", why) && Platform::mayModify(path, status);
    }
    int createTemporary(std::string& pathTemplate, std::string& why) override {
        if (fails("createTemporary", why))
            return -1;
        return opened(Platform::createTemporary(pathTemplate, why), true);
    }
    bool copyPermissions(int handle, const std::optional<FileStatus>& from,
                         std::string& why) override {
        return !fails("copyPermissions", why) && Platform::copyPermissions(handle, from, why);
    }
    bool syncFile(int handle, std::string& why) override {
        return !fails("syncFile", why) && Platform::syncFile(handle, why);
    }
    bool renameFile(const std::string& from, const std::string& to, std::string& why) override {
        return !fails("renameFile", why) && Platform::renameFile(from, to, why);
    }
    std::string thousandsSeparator() override { return separator; }
    std::int64_t nowMs() override {
        std::int64_t now = clockMs;
        clockMs += clockStep;
        return now;
    }
    bool consoleAvailable() override { return consoleOk; }
    void writeConsole(std::string_view utf8) override { console.append(utf8); }
    void writeStandardError(std::string_view text) override { standardError.append(text); }

private:
    bool fails(const char* name, std::string& why) {
        callNames.push_back(name);
        if (++calls != failCallAt)
            return false;
        switch (failKind) {
        case Fault::Locked:
            why = "The file is in use by another program";
            break;
        case Fault::NoSpace:
            why = "No space left on device";
            break;
        default:
            why = "Input/output error";
        }
        return true;
    }
    int opened(int fd, bool forWriting) {
        if (fd >= 0) {
            openHandles.insert(fd);
            if (forWriting)
                writtenHandles.insert(fd);
        }
        return fd;
    }
};

// A fresh temporary folder, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kestrine-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::vector<char> randomBytes(std::size_t n, unsigned seed = 1) {
    std::vector<char> out(n);
    std::mt19937 gen(seed);
    for (auto& c : out)
        c = static_cast<char>(gen() & 0xFF);
    return out;
}

inline void writeFile(const std::string& path, const std::vector<char>& data) {
    std::ofstream(path, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

} // namespace kestrine::testing
