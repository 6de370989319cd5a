#pragma once
// Everything that differs per operating system: files and locks, free space, the console, the
// locale, the clock. The core calls it through this one interface so tests can fail any call;
// every call that can fail answers with a Result carrying the system's reason.

#include "platform/Result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrine {

// A byte position in a file, or a length value.
using Position = std::int64_t;

class FileHandle;
struct NewFile;

// What is known of an existing file before it is replaced.
struct FileStatus {
    unsigned mode = 0; // permission bits
    unsigned owner = 0;
    unsigned group = 0;
};

// One read of a batch: at most `count` bytes at `offset` into `buffer`. `got` receives the count
// read, short only where the file ends, or -1 when the read failed.
struct BlockRead {
    Position offset = 0;
    void* buffer = nullptr;
    std::size_t count = 0;
    std::int64_t got = 0;
};

// One name in a folder, as the file system spells it.
struct FolderEntry {
    std::string name;
    bool isFolder = false; // also a link to a folder
};

// Where a run keeps its settings file and writes its help file, each with a trailing separator.
struct ProgramFolders {
    std::string settings;
    std::string help;
};

// Where an installed executable finds its desktop entry, relative to its own folder.
extern const char* const kInstalledMarker;

class Platform {
public:
    virtual ~Platform() = default;

    // The process-wide real implementation.
    static Platform& system();

    // Opens an existing regular file or block device (a disk, a partition) for reading, taking
    // an exclusive lock that is held while the handle is open. Never blocks. Anything whose
    // size is not its length (a character device, a FIFO, a socket, a file of /proc) is
    // refused with the reason.
    virtual Result<FileHandle> openExclusive(const std::string& path) = 0;
    // Opens for reading without any lock (readers that share the file with others).
    virtual Result<FileHandle> openShared(const std::string& path) = 0;
    virtual Result<void> seek(int handle, Position position) = 0;
    // Reads or writes at most `count` bytes; returns the count moved. A read of 0 is the end of
    // the file; see readFull and writeAll for moving a whole buffer.
    virtual Result<std::size_t> read(int handle, void* buffer, std::size_t count) = 0;
    virtual Result<std::size_t> write(int handle, const void* buffer, std::size_t count) = 0;
    // Runs every read of `reads`, each independent of the others, and leaves the file position
    // anywhere. A failure is told read by read in `got`.
    virtual void readBatch(int handle, std::span<BlockRead> reads) = 0;
    // How many threads may run readBatch on one handle at once (1: one at a time).
    virtual unsigned readersAtOnce() = 0;
    // Copies at most `count` bytes from `from` at `fromOffset` to `to` at `toOffset` inside the
    // system (page cache to page cache, or extents shared), leaving both file positions as they
    // were; returns the count copied, 0 where the source ends. Fails where the system cannot
    // copy between these two files.
    virtual Result<std::size_t> copyRange(int from, Position fromOffset, int to, Position toOffset,
                                          std::size_t count) = 0;
    // The next run of data in [from, end) of a file that may hold holes: its first byte and the
    // byte after its last, both `end` when only holes are left. A file system that keeps no
    // holes answers one run up to `end`.
    virtual Result<std::pair<Position, Position>> dataRun(int handle, Position from,
                                                          Position end) = 0;
    // Sets the length of a file being written (a copy whose range ends in a hole).
    virtual Result<void> setSize(int handle, Position size) = 0;
    // Closing a written file can report a delayed write error; the descriptor is gone either way.
    virtual Result<void> close(int handle) = 0;
    // The length of a file or block device.
    virtual Result<Position> sizeOf(int handle) = 0;

    // A name that exists and is not a folder.
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool directoryExists(const std::string& path) = 0;
    // Both names exist and are the same file (same device and inode).
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Deletes a file, first making it writable where the platform needs that.
    virtual Result<void> deleteFile(const std::string& path) = 0;
    // The names in a folder, without "." and "..", in no particular order.
    virtual Result<std::vector<FolderEntry>> listFolder(const std::string& folder) = 0;

    // Bytes free for the caller on the file system holding `folder`.
    virtual Result<std::int64_t> freeBytes(const std::string& folder) = 0;
    // Mount point of the file system holding `folder` ("/" or "/home"), the "drive" of a path.
    virtual std::string mountPoint(const std::string& folder) = 0;

    // Thousands separator of the user's locale, "," where the locale has none.
    virtual std::string thousandsSeparator() = 0;
    // Full path of the running executable; empty when it cannot be found.
    virtual std::string executablePath() = 0;
    // The value of an environment variable; empty when it is unset.
    virtual std::string environment(const std::string& name) = 0;
    // The running user's home folder: $HOME, else the user database's entry.
    virtual std::string homeFolder() = 0;
    // The folder exists and belongs to the running user.
    virtual bool ownedByUser(const std::string& folder) = 0;
    // Creates a folder and its missing parents, each new one private to the user.
    virtual Result<void> createFolders(const std::string& path) = 0;
    // The same for a folder the user asks for: each new one gets the usual permissions of a new
    // folder, which the user's umask decides.
    virtual Result<void> createSharedFolders(const std::string& path) = 0;
    // Milliseconds on a clock suitable for elapsed times.
    virtual std::int64_t nowMs() = 0;

    // Standard output is open and writable.
    virtual bool consoleAvailable() = 0;
    // Prepares standard output for console lines: a reader that goes away must not end the run.
    virtual bool attachConsole() = 0;
    // Writes one console line's bytes (UTF-8 in); converted to the output's character set. A
    // line that cannot be written is lost and the run goes on.
    virtual void writeConsole(std::string_view utf8) = 0;
    // Fails when a console line of this run could not be written (a full disk, an I/O error),
    // with the first reason. A reader that has gone is no failure: the lines were only for it.
    virtual Result<void> flushConsole() = 0;
    // Writes to standard error, for the reports that must not go to standard output.
    virtual void writeStandardError(std::string_view text) = 0;

    // --- The steps of replacing a file atomically, each one a call a test can fail. ---

    // The file a name finally stands for: the end of a chain of symbolic links (also one that
    // names no file yet, which a write then creates), else the name itself. A failure when a
    // link cannot be read or the chain loops.
    virtual Result<std::string> resolveLinks(const std::string& path) = 0;
    // Status of the regular file a name holds itself, never following a symbolic link: nothing
    // when the name is absent or is a link (both are replaced outright), a failure when it
    // cannot be asked or is anything else (a folder, a FIFO, a device).
    virtual Result<std::optional<FileStatus>> regularFileStatus(const std::string& path) = 0;
    // Whether the running user may change the file: its permissions allow it, and a file
    // without any write bit counts as read-only even for a privileged user.
    virtual bool mayModify(const std::string& path, const FileStatus& status) = 0;
    // A new private file from a template ending in "XXXXXX" (filled in).
    virtual Result<FileHandle> createTemporary(std::string& pathTemplate) = 0;
    // Gives a new file the mode, owner and group of the file it replaces, or the usual mode of
    // a new file when `from` is nothing. Fails rather than change the owner.
    virtual Result<void> copyPermissions(int handle, const std::optional<FileStatus>& from) = 0;
    virtual Result<void> syncFile(int handle) = 0;
    virtual Result<void> renameFile(const std::string& from, const std::string& to) = 0;
    // Makes a rename in `folder` durable; a file system that cannot do it loses nothing else.
    virtual void syncFolder(const std::string& folder) = 0;

    // --- A copy written beside its destination and named only once it is whole. ---

    // A new file for writing in `folder` with the usual mode of a new file: without a name where
    // the file system allows it, else under a hidden name made from `hiddenTemplate` (a full
    // path ending in "XXXXXX", filled in).
    virtual Result<NewFile> createBeside(const std::string& folder,
                                         std::string& hiddenTemplate) = 0;
    // Gives the file without a name its name `path`, which must not exist yet; `unique` makes
    // `path` a template ending in "XXXXXX" that is filled in.
    virtual Result<void> linkFile(int handle, std::string& path, bool unique) = 0;
    // The name stands for the file that standard output or standard error writes to.
    virtual bool isStandardStream(const std::string& path) = 0;
    // The absolute form of a name, "." and ".." taken out and links followed as far as they
    // exist: two names of one file that does not exist yet give the same text.
    virtual std::string resolvedPath(const std::string& path) = 0;

    // --- Ending a run when asked to (Ctrl+C, a terminal that closes, a shutdown). ---

    // From now on SIGINT, SIGTERM and SIGHUP are noted instead of ending the process at once.
    virtual void catchStopSignals() = 0;
    // The signal that asked the run to end, 0 while none has.
    virtual int stopSignal() = 0;
    // Ends the process by `signal` as if it had not been caught, so the caller sees why.
    virtual void endBySignal(int signal) = 0;

    // --- Writers of one file in several processes taking turns. ---

    // Takes an exclusive advisory lock on the file `path` (created empty when missing), held
    // while the handle is open, without waiting: nothing when another process holds it, or
    // removed or replaced it meanwhile (its holder removes it before letting go). A symbolic
    // link, a folder or a FIFO of that name is a failure.
    virtual Result<std::optional<FileHandle>> tryLock(const std::string& path) = 0;
    // Waits, for the short pauses between tries of tryLock.
    virtual void sleepMs(int milliseconds) = 0;
};

// Owns one descriptor opened through a Platform and closes it exactly once.
class FileHandle {
public:
    FileHandle() = default;
    FileHandle(Platform& platform, int fd) : platform_(&platform), fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept
        : platform_(other.platform_), fd_(std::exchange(other.fd_, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            platform_ = other.platform_;
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileHandle() { reset(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes now, for callers that must know whether the close succeeded (a delayed write
    // error); closing an unopened handle succeeds.
    Result<void> close() {
        if (fd_ < 0)
            return {};
        return platform_->close(std::exchange(fd_, -1));
    }
    // Closes, ignoring any failure.
    void reset() { (void)close(); }

private:
    Platform* platform_ = nullptr;
    int fd_ = -1;
};

// A file made to become a copy's destination: without a name until it is given one, or, where
// the file system cannot do that, under a hidden name of its own.
struct NewFile {
    FileHandle handle;
    bool named = false;
};

// --- Built on the calls above, the same for every platform. ---

// Reads until `count` bytes are in `buffer` or the file ends; returns the count read, fewer than
// `count` only at the end of the file.
Result<std::size_t> readFull(Platform& platform, int handle, void* buffer, std::size_t count);
// Writes all `count` bytes; a write that moves nothing fails as a full disk.
Result<void> writeAll(Platform& platform, int handle, const void* buffer, std::size_t count);
// The batch read built on `seek` and `read`, one read at a time.
void readBatchPlain(Platform& platform, int handle, std::span<BlockRead> reads);

// The whole content of a regular file of at most `limit` bytes; nothing when no file has that
// name. Never blocks: a FIFO, a device, a folder or a larger file is a failure.
Result<std::optional<std::string>> loadFile(Platform& platform, const std::string& path,
                                            std::int64_t limit);
// What replaceFile does with a symbolic link of the name it is given.
enum class Links {
    ReplaceTarget, // the link stays and the file it stands for is replaced (or created)
    ReplaceLink,   // the link itself is replaced by the new file; its target is never opened
};

// Writes `content` to a temporary file beside the file replaced, syncs it, gives it the old
// file's permissions and renames it over that file. A read-only file, another user's file and
// anything but a regular file are refused. On failure the old file is untouched and no
// temporary file is left.
Result<void> replaceFile(Platform& platform, const std::string& path, std::string_view content,
                         Links links = Links::ReplaceTarget);

// Beside the executable when it runs from a folder its user owns (a build folder, a copy).
// An installed executable (its desktop entry where the installation puts it) or one in
// someone else's folder uses $XDG_CONFIG_HOME/kestrine/ and $XDG_CACHE_HOME/kestrine/
// (~/.config and ~/.cache where unset or relative), created here; so it never writes into its
// installation, also not as root.
ProgramFolders programFolders(Platform& platform);
// The folder of the running executable, with a trailing separator.
std::string executableFolder(Platform& platform);

// Converts UTF-8 text to the character set `codeset` names, replacing what it cannot hold by "?".
std::string toCodeset(std::string_view utf8, const std::string& codeset);

} // namespace kestrine
