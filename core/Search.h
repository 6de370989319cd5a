#pragma once
// The hex viewer's text search: the next place at or after a position where the file's bytes
// spell a text without regard to case, each byte standing for the character U+0000..U+00FF of
// its value.

#include "core/Types.h"
#include "platform/Platform.h"

#include <string>
#include <string_view>

namespace kestrine {

// Bytes read per block; consecutive blocks overlap by the text's length.
constexpr Position kSearchBlockSize = 10240;

enum class SearchOutcome { Found, NotFound, CannotOpen };

struct SearchResult {
    SearchOutcome outcome = SearchOutcome::NotFound;
    Position position = 0; // the hit's first byte when found
};

// Searches `fileName` (opened exclusively for the search) for `text` from `start`, or from
// behind the last hit when the search starts on it. `fileSize` is the size the file was
// measured at; it may have shrunk or grown since: a hit lies wholly in the file as it is now
// and begins no later than `fileSize`. Every search ends, in time linear in the bytes read
// whatever the text, and finds the first such hit however long the text is.
SearchResult searchFile(Platform& platform, const std::string& fileName, Position fileSize,
                        Position start, const LastHit& last, std::u16string_view text);

// The upper case of `c` (Unicode simple mapping) as far as the search can tell it apart: exact
// whenever the result is the upper case of some byte's character; any other result stands for
// a character that no byte takes.
char16_t searchUpper(char16_t c);

} // namespace kestrine
