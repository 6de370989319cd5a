#pragma once
// The platform of POSIX systems. Test doubles derive from it and fail the calls a test asks for.

#include "platform/Platform.h"

namespace kestrine {

class PosixPlatform : public Platform {
public:
    Result<FileHandle> openExclusive(const std::string& path) override;
    Result<FileHandle> openShared(const std::string& path) override;
    Result<void> seek(int handle, Position position) override;
    Result<std::size_t> read(int handle, void* buffer, std::size_t count) override;
    Result<std::size_t> write(int handle, const void* buffer, std::size_t count) override;
    // Reads that overlap are gathered into one vectored read: a scan reads a file in blocks of a
    // few KiB, each overlapping the one before, and a call per block costs more than the reading
    // itself on a machine where calls are dear.
    void readBatch(int handle, std::span<BlockRead> reads) override;
    unsigned readersAtOnce() override;
    Result<std::size_t> copyRange(int from, Position fromOffset, int to, Position toOffset,
                                  std::size_t count) override;
    Result<std::pair<Position, Position>> dataRun(int handle, Position from, Position end) override;
    Result<void> setSize(int handle, Position size) override;
    Result<void> close(int handle) override;
    Result<Position> sizeOf(int handle) override;

    bool fileExists(const std::string& path) override;
    bool directoryExists(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    Result<void> deleteFile(const std::string& path) override;
    Result<std::vector<FolderEntry>> listFolder(const std::string& folder) override;

    Result<std::int64_t> freeBytes(const std::string& folder) override;
    std::string mountPoint(const std::string& folder) override;

    std::string thousandsSeparator() override;
    std::string executablePath() override;
    std::string environment(const std::string& name) override;
    std::string homeFolder() override;
    bool ownedByUser(const std::string& folder) override;
    Result<void> createFolders(const std::string& path) override;
    Result<void> createSharedFolders(const std::string& path) override;
    std::int64_t nowMs() override;

    bool consoleAvailable() override;
    bool attachConsole() override;
    void writeConsole(std::string_view utf8) override;
    Result<void> flushConsole() override;
    void writeStandardError(std::string_view text) override;

    Result<std::string> resolveLinks(const std::string& path) override;
    Result<std::optional<FileStatus>> regularFileStatus(const std::string& path) override;
    bool mayModify(const std::string& path, const FileStatus& status) override;
    Result<FileHandle> createTemporary(std::string& pathTemplate) override;
    Result<void> copyPermissions(int handle, const std::optional<FileStatus>& from) override;
    Result<void> syncFile(int handle) override;
    Result<void> renameFile(const std::string& from, const std::string& to) override;
    void syncFolder(const std::string& folder) override;

    Result<NewFile> createBeside(const std::string& folder, std::string& hiddenTemplate) override;
    Result<void> linkFile(int handle, std::string& path, bool unique) override;
    bool isStandardStream(const std::string& path) override;
    std::string resolvedPath(const std::string& path) override;
    void catchStopSignals() override;
    int stopSignal() override;
    void endBySignal(int signal) override;

    Result<std::optional<FileHandle>> tryLock(const std::string& path) override;
    void sleepMs(int milliseconds) override;

private:
    std::string consoleFailure_;
};

} // namespace kestrine
