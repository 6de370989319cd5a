#pragma once
// The real platform with hooks: captured console, simulated free space, failing reads and writes.

#include "platform/PlatformPosix.h"

#include <algorithm>
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
// succeeds (as reads, writes and system copies may); Short reads or copies nothing (the file
// ended early) or writes half and then finds the disk full; Refused is a system copy the
// system cannot make between the two files.
enum class Fault { Partial, Short, NoSpace, IoError, Locked, CloseFails, Refused };

// The ways each counted call can really fail; a query that fails answers "no" (or -1, or the
// name unresolved).
inline const std::map<std::string, std::vector<Fault>>& faultsOfCalls() {
    static const std::map<std::string, std::vector<Fault>> faults = {
        {"openExclusive", {Fault::Locked, Fault::IoError}},
        {"openShared", {Fault::IoError}},
        {"seek", {Fault::IoError}},
        {"read", {Fault::Partial, Fault::Short, Fault::IoError}},
        {"copyRange", {Fault::Partial, Fault::Short, Fault::IoError, Fault::Refused}},
        {"write", {Fault::Partial, Fault::Short, Fault::NoSpace, Fault::IoError}},
        {"dataRun", {Fault::IoError}},
        {"isStandardStream", {Fault::IoError}},
        {"setSize", {Fault::NoSpace, Fault::IoError}},
        {"createBeside", {Fault::Locked, Fault::NoSpace, Fault::IoError}},
        {"linkFile", {Fault::NoSpace, Fault::IoError}},
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
        // Locked: another process holds the lock for longer than a write waits.
        {"tryLock", {Fault::Locked, Fault::IoError}},
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
    case Fault::Refused:
        return "refused";
    }
    return "?";
}

// Calls whose failure is an answer rather than an error, so either outcome can be right.
inline bool isQueryCall(const std::string& name) {
    return name == "fileExists" || name == "directoryExists" || name == "sameFile" ||
           name == "sizeOf" || name == "freeBytes" || name == "mayModify" ||
           name == "isStandardStream";
}

// What a fault walk checks after each run, whichever code made the calls.
struct PlatformTrace {
    std::size_t openHandles = 0;
    bool failedWrittenClose = false;
    bool failureUnseen = false;
    std::vector<std::string> calls;
};

class TestPlatform : public PosixPlatform {
public:
    PlatformTrace trace() const {
        return {openHandles.size(), failedWrittenClose, failureUnseen, callNames};
    }

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
    // Set: the console lines were lost for this reason.
    std::string lostConsole;
    std::optional<std::int64_t> free;
    std::string mount = "/mnt/test";
    int failWriteAt = 0; // 1-based number of the write call that fails; 0 never
    int failReadAt = 0;
    int shortReadAt = 0; // this read call reports end of file
    int writes = 0;
    int reads = 0;
    int seeks = 0;
    bool failCreate = false;
    // The system copies ranges; otherwise it refuses every one as between two file systems and
    // the copy reads and writes. At most kernelChunk bytes a copy when not 0.
    bool kernelCopy = false;
    std::size_t kernelChunk = 0;
    int refuseRangeAt = 0; // 1-based number of the system copy refused; 0 never
    int copyRanges = 0;
    std::vector<std::size_t> chunksAsked; // the count of each system copy
    bool lockHeldElsewhere = false;
    std::int64_t clockMs = 0;
    std::int64_t clockStep = 0;
    std::string separator = ",";
    // The file system has no unnamed files: a copy is written under a hidden name.
    bool noUnnamedFiles = false;
    // The file system tells no holes.
    bool noHoles = false;
    // The signal a test pretends has asked the run to end.
    int signalSeen = 0;

    Result<FileHandle> openExclusive(const std::string& path) override {
        if (std::string why; fails("openExclusive", why))
            return Failure{why};
        return opened(PosixPlatform::openExclusive(path), false);
    }
    Result<FileHandle> openShared(const std::string& path) override {
        if (std::string why; fails("openShared", why))
            return Failure{why};
        return opened(PosixPlatform::openShared(path), false);
    }
    Result<void> seek(int h, Position p) override {
        ++seeks;
        if (std::string why; fails("seek", why))
            return Failure{why};
        return PosixPlatform::seek(h, p);
    }
    Result<std::size_t> read(int h, void* b, std::size_t n) override {
        ++reads;
        if (std::string why; fails("read", why)) {
            if (failKind == Fault::Short) {
                failureUnseen = ::lseek(h, 0, SEEK_CUR) >= PosixPlatform::sizeOf(h).valueOr(-1);
                return std::size_t{0};
            }
            if (failKind == Fault::Partial)
                return PosixPlatform::read(h, b, (n + 1) / 2);
            return Failure{why};
        }
        if (reads == failReadAt)
            return Failure{"Input/output error"};
        if (reads == shortReadAt)
            return std::size_t{0};
        return PosixPlatform::read(h, b, n);
    }
    Result<std::size_t> write(int h, const void* b, std::size_t n) override {
        ++writes;
        if (std::string why; fails("write", why)) {
            if (failKind == Fault::Short)
                diskFull = true;
            if (failKind == Fault::Short || failKind == Fault::Partial)
                return PosixPlatform::write(h, b, (n + 1) / 2);
            return Failure{why};
        }
        if (writes == failWriteAt || diskFull)
            return Failure{"No space left on device"};
        return PosixPlatform::write(h, b, n);
    }
    // Read by read through seek and read, so that their faults reach the batch too.
    void readBatch(int h, std::span<BlockRead> batch) override { readBatchPlain(*this, h, batch); }
    // Faults are counted call by call, in one thread.
    unsigned readersAtOnce() override { return 1; }
    Result<std::size_t> copyRange(int from, Position fromOffset, int to, Position toOffset,
                                  std::size_t n) override {
        if (!kernelCopy)
            return Failure{"Invalid cross-device link"};
        chunksAsked.push_back(n);
        if (++copyRanges == refuseRangeAt)
            return Failure{"Invalid cross-device link"};
        if (kernelChunk > 0)
            n = std::min(n, kernelChunk);
        if (std::string why; fails("copyRange", why)) {
            if (failKind == Fault::Partial)
                return PosixPlatform::copyRange(from, fromOffset, to, toOffset, (n + 1) / 2);
            if (failKind == Fault::Short)
                return std::size_t{0};
            if (failKind == Fault::Refused)
                return Failure{"Invalid cross-device link"};
            return Failure{why};
        }
        return PosixPlatform::copyRange(from, fromOffset, to, toOffset, n);
    }
    Result<std::pair<Position, Position>> dataRun(int h, Position from, Position end) override {
        if (std::string why; fails("dataRun", why))
            return Failure{why};
        if (noHoles)
            return std::pair{from, end};
        return PosixPlatform::dataRun(h, from, end);
    }
    Result<void> setSize(int h, Position size) override {
        if (std::string why; fails("setSize", why))
            return Failure{why};
        return PosixPlatform::setSize(h, size);
    }
    Result<NewFile> createBeside(const std::string& folder, std::string& hidden) override {
        if (std::string why; fails("createBeside", why))
            return Failure{why};
        if (failCreate)
            return Failure{"Permission denied"};
        Result<NewFile> file = noUnnamedFiles ? Result<NewFile>(Failure{})
                                              : PosixPlatform::createBeside(folder, hidden);
        if (noUnnamedFiles) {
            Result<FileHandle> named = PosixPlatform::createTemporary(hidden);
            if (!named)
                return named.failure();
            file = NewFile{std::move(*named), true};
        }
        if (file) {
            openHandles.insert(file->handle.get());
            writtenHandles.insert(file->handle.get());
        }
        return file;
    }
    Result<void> linkFile(int h, std::string& path, bool unique) override {
        if (std::string why; fails("linkFile", why))
            return Failure{why};
        return PosixPlatform::linkFile(h, path, unique);
    }
    bool isStandardStream(const std::string& path) override {
        std::string why;
        return !fails("isStandardStream", why) && PosixPlatform::isStandardStream(path);
    }
    // The test's process keeps its own signals.
    void catchStopSignals() override {}
    int stopSignal() override { return signalSeen; }
    void endBySignal(int) override {}
    Result<void> close(int h) override {
        const bool written = writtenHandles.erase(h) > 0;
        openHandles.erase(h);
        if (std::string why; fails("close", why)) {
            // The descriptor is gone even when close reports a delayed write error.
            (void)PosixPlatform::close(h);
            failedWrittenClose = written;
            return Failure{why};
        }
        return PosixPlatform::close(h);
    }
    Result<Position> sizeOf(int h) override {
        if (std::string why; fails("sizeOf", why))
            return Failure{why};
        return PosixPlatform::sizeOf(h);
    }
    bool fileExists(const std::string& path) override {
        std::string why;
        return !fails("fileExists", why) && PosixPlatform::fileExists(path);
    }
    bool directoryExists(const std::string& path) override {
        std::string why;
        return !fails("directoryExists", why) && PosixPlatform::directoryExists(path);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        std::string why;
        return !fails("sameFile", why) && PosixPlatform::sameFile(a, b);
    }
    Result<void> deleteFile(const std::string& path) override {
        if (std::string why; fails("deleteFile", why))
            return Failure{why};
        return PosixPlatform::deleteFile(path);
    }
    Result<std::int64_t> freeBytes(const std::string& folder) override {
        if (std::string why; fails("freeBytes", why))
            return Failure{why};
        if (free)
            return *free;
        return PosixPlatform::freeBytes(folder);
    }
    std::string mountPoint(const std::string&) override { return mount; }

    Result<std::string> resolveLinks(const std::string& path) override {
        if (std::string why; fails("resolveLinks", why))
            return Failure{why};
        return PosixPlatform::resolveLinks(path);
    }
    Result<std::optional<FileStatus>> regularFileStatus(const std::string& path) override {
        if (std::string why; fails("regularFileStatus", why))
            return Failure{why};
        return PosixPlatform::regularFileStatus(path);
    }
    bool mayModify(const std::string& path, const FileStatus& status) override {
        std::string why;
        return !fails("mayModify", why) && PosixPlatform::mayModify(path, status);
    }
    Result<FileHandle> createTemporary(std::string& pathTemplate) override {
        if (std::string why; fails("createTemporary", why))
            return Failure{why};
        if (failCreate)
            return Failure{"Permission denied"};
        return opened(PosixPlatform::createTemporary(pathTemplate), true);
    }
    Result<void> copyPermissions(int handle, const std::optional<FileStatus>& from) override {
        if (std::string why; fails("copyPermissions", why))
            return Failure{why};
        return PosixPlatform::copyPermissions(handle, from);
    }
    Result<void> syncFile(int handle) override {
        if (std::string why; fails("syncFile", why))
            return Failure{why};
        return PosixPlatform::syncFile(handle);
    }
    Result<void> renameFile(const std::string& from, const std::string& to) override {
        if (std::string why; fails("renameFile", why))
            return Failure{why};
        return PosixPlatform::renameFile(from, to);
    }
    Result<std::optional<FileHandle>> tryLock(const std::string& path) override {
        if (std::string why; fails("tryLock", why)) {
            if (failKind != Fault::Locked)
                return Failure{why};
            lockHeldElsewhere = true;
        }
        if (lockHeldElsewhere)
            return std::optional<FileHandle>();
        Result<std::optional<FileHandle>> lock = PosixPlatform::tryLock(path);
        if (lock && *lock)
            openHandles.insert((*lock)->get());
        return lock;
    }
    // Waiting moves the test's clock instead of the real one.
    void sleepMs(int milliseconds) override { clockMs += milliseconds; }
    std::string thousandsSeparator() override { return separator; }
    std::int64_t nowMs() override {
        std::int64_t now = clockMs;
        clockMs += clockStep;
        return now;
    }
    bool consoleAvailable() override { return consoleOk; }
    void writeConsole(std::string_view utf8) override { console.append(utf8); }
    Result<void> flushConsole() override {
        if (lostConsole.empty())
            return {};
        return Failure{lostConsole};
    }
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
    Result<FileHandle> opened(Result<FileHandle> file, bool forWriting) {
        if (file) {
            openHandles.insert(file->get());
            if (forWriting)
                writtenHandles.insert(file->get());
        }
        return file;
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
