#pragma once
// A small INI ("profile") file reader and writer. Every key is read or written by itself; a
// write keeps every other line of the file, and replaces the file atomically so that a crash or
// a full disk leaves either the old or the new file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrine {

// Longest value a read returns, in characters.
inline constexpr std::size_t kProfileValueLimit = 2047;
// Largest file read as a profile file; a larger one counts as unreadable (defaults, no writes).
inline constexpr std::int64_t kProfileFileLimit = 16 * 1024 * 1024;

// --- Pure text layer: the whole file's text in, a value or the new text out. ---

// The value of `key` in `section` (names compared without regard to ASCII case), trimmed, one
// pair of enclosing quotes removed and cut to kProfileValueLimit characters; nullopt when the
// section or key is absent. Lines before the first section and comment lines are never keys.
std::optional<std::string> findProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// The text with `key` set to `value`: an existing key's value is replaced on its own line, a new
// key goes after the last entry of its section, a new section to the end of the text. Every
// other byte is kept. New lines end in LF. `value` is stored so that findProfileValue gives it
// back (values with surrounding blanks or enclosing quotes are put in double quotes).
std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);

// Names and values a line-based file cannot hold: line breaks and NULs anywhere, "=" or a
// leading "[" in a key, "]" in a section name, empty names.
bool validProfileName(std::string_view name, bool isSection);
bool validProfileValue(std::string_view value);

// --- Encodings. ---

// Signed decimal, or hexadecimal after "$" or (for texts of 3 characters or more) "0x"/"0X";
// an optional sign in front. Hexadecimal takes up to 32 bits and wraps into the signed range
// (so "0xFF00001C" is -16777188). Anything else, or a decimal out of range, is nullopt.
std::optional<std::int32_t> parseProfileInteger(std::string_view text);
std::string formatProfileInteger(std::int32_t value);

// --- File access. ---

// The system calls behind a profile file. Each step is virtual so that a test can fail it.
class ProfileIO {
public:
    enum class Load { Ok, Missing, Failed };

    virtual ~ProfileIO() = default;
    static ProfileIO& system();

    // The whole content of a regular file. Never blocks: a FIFO, a device or a folder is Failed.
    virtual Load load(const std::string& path, std::string& content);
    // Creates a new private file from a template ending in "XXXXXX" (filled in); -1 on failure.
    virtual int createTemp(std::string& pathTemplate);
    virtual std::int64_t write(int fd, const char* data, std::size_t count);
    virtual bool sync(int fd);
    virtual bool close(int fd);
    virtual bool rename(const std::string& from, const std::string& to);
    virtual void remove(const std::string& path);
};

// Writes `content` to a temporary file beside `path`, syncs it, gives it the old file's
// permissions (or the usual ones for a new file) and renames it over `path`. A symbolic link is
// followed, so the link stays and its target is replaced. On failure the old file is untouched,
// the temporary file is gone and `why` says what failed.
bool replaceFileAtomically(ProfileIO& io, const std::string& path, std::string_view content,
                           std::string& why);

// One profile file on disk, read and written key by key; nothing is cached between calls.
class ProfileFile {
public:
    explicit ProfileFile(std::string path, ProfileIO& io = ProfileIO::system());

    const std::string& path() const { return path_; }

    // A missing or unreadable file, or an absent key, gives `fallback`. Never reports an error.
    std::string readString(std::string_view section, std::string_view key,
                           const std::string& fallback) const;
    // An absent key or a text that is no number gives `fallback`.
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // Read as an integer with default 1 or 0; anything but 0 is true.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // False when the write was refused (the file stays as it was); lastError() says why.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    bool writeBool(std::string_view section, std::string_view key, bool value);

    const std::string& lastError() const { return lastError_; }

private:
    std::string path_;
    ProfileIO& io_;
    std::string lastError_;
};

} // namespace kestrine
