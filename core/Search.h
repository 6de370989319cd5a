#pragma once
// The hex viewer's text search: the next place at or after a position where the file's bytes
// spell a text without regard to case, each byte standing for the character U+0000..U+00FF of
// its value, or where they spell the text in UTF-8.

#include "core/Types.h"
#include "platform/Platform.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// Bytes read per block; consecutive blocks overlap by the text's length.
constexpr Position kSearchBlockSize = 10240;

enum class SearchOutcome { Found, NotFound, CannotOpen };

struct SearchResult {
    SearchOutcome outcome = SearchOutcome::NotFound;
    Position position = 0; // the hit's first byte when found
    bool utf8 = false;     // the hit spells the text in UTF-8, not one byte a character
};

// The characters that count as `c` in another case (Unicode simple case mapping: those with the
// same upper case as `c`); the search keeps those of the same UTF-8 length as `c`. Characters of
// two such lists either share all of them or none.
using SameCase = std::function<std::vector<char32_t>(char32_t c)>;
// The search's own knowledge of case: the characters whose upper case (searchUpper) is that of
// `c` among the bytes' characters and the few others that upper-case to one of them.
std::vector<char32_t> latin1SameCase(char32_t c);

// Searches `fileName` (opened exclusively for the search) for `text` from `start`, or from
// behind the last hit when the search starts on it. The text is found both as one byte a
// character (each character's upper case against each byte's) and as UTF-8, where each
// character also matches the UTF-8 of the characters `sameCase` gives that have the same UTF-8
// length; at one place the single-byte form counts. `fileSize` is the size the file was
// measured at; it may have shrunk or grown since: a hit lies wholly in the file as it is now
// and begins no later than `fileSize`. Every search ends, in time linear in the bytes read
// whatever the text, and finds the first such hit however long the text is.
SearchResult searchFile(Platform& platform, const std::string& fileName, Position fileSize,
                        Position start, const LastHit& last, std::u16string_view text,
                        const SameCase& sameCase = latin1SameCase);

// The UTF-8 bytes of `text`; a lone surrogate gives nothing at all.
std::string utf8Of(std::u16string_view text);

// The upper case of `c` (Unicode simple mapping) as far as the search can tell it apart: exact
// whenever the result is the upper case of some byte's character; any other result stands for
// a character that no byte takes.
char16_t searchUpper(char16_t c);

} // namespace kestrine
