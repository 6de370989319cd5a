#pragma once
// The text rules of an INI ("profile") file: lines, sections, keys, quotes and limits. Pure
// functions of the text; the file itself is read and replaced by ProfileFile.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kestrine {

// Largest file read as a profile file; a larger one counts as unreadable (defaults, no writes).
inline constexpr std::int64_t kProfileFileLimit = 16 * 1024 * 1024;

// The value of `key` in `section` (names compared without regard to ASCII case), trimmed and one
// pair of enclosing quotes removed, whatever its length; nullopt when the section or key is
// absent. Lines before the first section and comment lines are never keys.
std::optional<std::string> findProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// The text with `key` set to `value`: an existing key's value is replaced on its own line, a new
// key goes after the last entry of its section, a new section to the end of the text. Every
// other byte is kept. New lines end as the text's first line does (LF in a text without line
// ends), so a CR LF file stays CR LF. `value` is stored so that findProfileValue gives it
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

// One key's new value, for writing several keys in one replacement of the file.
struct ProfileEntry {
    std::string_view section;
    std::string_view key;
    std::string value;
};

// A profile text and its keys, edited in memory.
class ProfileText {
public:
    explicit ProfileText(std::string text = {}) : text_(std::move(text)) {}

    const std::string& text() const { return text_; }
    std::optional<std::string> value(std::string_view section, std::string_view key) const {
        return findProfileValue(text_, section, key);
    }
    // False, with the text unchanged, for a name or value the file cannot hold.
    bool set(std::string_view section, std::string_view key, std::string_view value);

private:
    std::string text_;
};

} // namespace kestrine
