#pragma once
// Everything that differs per operating system: files and locks, free space, the console, the
// locale, the clock. The core calls it through this one interface so tests can fail any call.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrine {

using FileOffset = std::int64_t;

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
    // Creates or truncates a file for writing, locked exclusively. Returns -1 with `why` on failure.
    virtual int createExclusive(const std::string& path, std::string& why);
    virtual bool seek(int handle, FileOffset position, std::string& why);
    // Reads or writes at most `count` bytes; returns the count moved, or -1 with `why`.
    virtual std::int64_t read(int handle, void* buffer, std::size_t count, std::string& why);
    virtual std::int64_t write(int handle, const void* buffer, std::size_t count,
                               std::string& why);
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
};

// Converts UTF-8 text to the character set `codeset` names, replacing what it cannot hold by "?".
std::string toCodeset(std::string_view utf8, const std::string& codeset);

} // namespace kestrine
