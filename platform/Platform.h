#pragma once
// Everything that differs per operating system: files and locks, free space, the console, the
// locale, the clock. The core calls it through this one interface so tests can fail any call.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace kestrine {

using FileOffset = std::int64_t;

// What is known of an existing file before it is replaced.
struct FileStatus {
    unsigned mode = 0; // permission bits
    unsigned owner = 0;
    unsigned group = 0;
};

enum class LoadResult { Ok, Missing, Failed };

// Where a run keeps its settings file and writes its help file, each with a trailing separator.
struct ProgramFolders {
    std::string settings;
    std::string help;
};

// Where an installed executable finds its desktop entry, relative to its own folder.
extern const char* const kInstalledMarker;

// One read of a batch: at most `count` bytes at `offset` into `buffer`. `got` receives the count
// read, short only where the file ends, or -1 when the read failed.
struct BlockRead {
    FileOffset offset = 0;
    void* buffer = nullptr;
    std::size_t count = 0;
    std::int64_t got = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The process-wide real implementation.
    static Platform& system();

    // Opens an existing regular file for reading, taking an exclusive lock that is held while the
    // handle is open. Never blocks. Returns a handle >= 0, or -1 with `why` filled in.
    virtual int openExclusive(const std::string& path, std::string& why);
    // Opens for reading without any lock (readers that share the file with others).
    virtual int openShared(const std::string& path, std::string& why);
    // Creates or truncates a file for writing, locked exclusively. Returns -1 with `why` on
    // failure.
    virtual int createExclusive(const std::string& path, std::string& why);
    virtual bool seek(int handle, FileOffset position, std::string& why);
    // Reads or writes at most `count` bytes; returns the count moved, or -1 with `why`.
    virtual std::int64_t read(int handle, void* buffer, std::size_t count, std::string& why);
    virtual std::int64_t write(int handle, const void* buffer, std::size_t count, std::string& why);
    // Runs every read of `reads`, each independent of the others, and leaves the file position
    // anywhere. The system's own platform gathers reads that overlap into one vectored read, so
    // that many small reads cost about what one large read does; the plain version here is
    // built on `seek` and `read`.
    virtual void readBatch(int handle, std::span<BlockRead> reads);
    // Closing a written file can report a delayed write error.
    virtual bool close(int handle, std::string& why);
    virtual FileOffset sizeOf(int handle);

    // A name that exists and is not a folder.
    virtual bool fileExists(const std::string& path);
    virtual bool directoryExists(const std::string& path);
    // Both names exist and are the same file (same device and inode).
    virtual bool sameFile(const std::string& a, const std::string& b);
    // Deletes a file, first making it writable where the platform needs that.
    virtual bool deleteFile(const std::string& path, std::string& why);

    // Bytes free for the caller on the file system holding `folder`; -1 when the query fails.
    virtual std::int64_t freeBytes(const std::string& folder);
    // Mount point of the file system holding `folder` ("/" or "/home"), the "drive" of a path.
    virtual std::string mountPoint(const std::string& folder);

    // Thousands separator of the user's locale, "," where the locale has none.
    virtual std::string thousandsSeparator();
    // Full path of the running executable.
    virtual std::string executablePath();
    // The value of an environment variable; empty when it is unset.
    virtual std::string environment(const std::string& name);
    // The running user's home folder: $HOME, else the user database's entry.
    virtual std::string homeFolder();
    // The folder exists and belongs to the running user.
    virtual bool ownedByUser(const std::string& folder);
    // Creates a folder and its missing parents, each new one private to the user.
    virtual bool createFolders(const std::string& path, std::string& why);
    // Milliseconds on a clock suitable for elapsed times.
    virtual std::int64_t nowMs();

    // Standard output is open and writable.
    virtual bool consoleAvailable();
    // Prepares standard output for console lines: a reader that goes away must not end the run.
    virtual bool attachConsole();
    // Writes one console line's bytes (UTF-8 in); converted to the output's character set.
    virtual void writeConsole(std::string_view utf8);
    virtual void flushConsole();
    // Writes to standard error, for the reports that must not go to standard output.
    virtual void writeStandardError(std::string_view text);

    // --- The steps of replacing a file atomically, each one a call a test can fail. ---

    // The file a name finally stands for: a symbolic link's target, else the name itself.
    virtual std::string resolveLinks(const std::string& path);
    // Status of an existing regular file; nothing when the name is absent (`why` empty) or is
    // something else (`why` says what).
    virtual std::optional<FileStatus> regularFileStatus(const std::string& path, std::string& why);
    // Whether the running user may change the file: its permissions allow it, and a file
    // without any write bit counts as read-only even for a privileged user.
    virtual bool mayModify(const std::string& path, const FileStatus& status);
    // A new private file from a template ending in "XXXXXX" (filled in); -1 with `why`.
    virtual int createTemporary(std::string& pathTemplate, std::string& why);
    // Gives a new file the mode, owner and group of the file it replaces, or the usual mode of
    // a new file when `from` is nothing. Fails rather than change the owner.
    virtual bool copyPermissions(int handle, const std::optional<FileStatus>& from,
                                 std::string& why);
    virtual bool syncFile(int handle, std::string& why);
    virtual bool renameFile(const std::string& from, const std::string& to, std::string& why);
    // Makes a rename in `folder` durable; a file system that cannot do it loses nothing else.
    virtual void syncFolder(const std::string& folder);

    // --- Built on the calls above. ---

    // The whole content of a regular file of at most `limit` bytes. Never blocks: a FIFO, a
    // device, a folder or a larger file is Failed.
    LoadResult loadFile(const std::string& path, std::int64_t limit, std::string& content);
    // Writes `content` to a temporary file beside `path`, syncs it, gives it the old file's
    // permissions and renames it over `path`; a symbolic link stays and its target is replaced.
    // A read-only file is refused. On failure the old file is untouched, no temporary file is
    // left and `why` says what failed.
    bool replaceFile(const std::string& path, std::string_view content, std::string& why);
    // Beside the executable when it runs from a folder its user owns (a build folder, a copy).
    // An installed executable (its desktop entry where the installation puts it) or one in
    // someone else's folder uses $XDG_CONFIG_HOME/kestrine/ and $XDG_CACHE_HOME/kestrine/
    // (~/.config and ~/.cache where unset or relative), created here; so it never writes into
    // its installation, also not as root.
    ProgramFolders programFolders();
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
    bool close(std::string& why) {
        if (fd_ < 0)
            return true;
        return platform_->close(std::exchange(fd_, -1), why);
    }
    // Closes, ignoring any failure.
    void reset() {
        std::string ignored;
        (void)close(ignored);
    }

private:
    Platform* platform_ = nullptr;
    int fd_ = -1;
};

// Converts UTF-8 text to the character set `codeset` names, replacing what it cannot hold by "?".
std::string toCodeset(std::string_view utf8, const std::string& codeset);

} // namespace kestrine
