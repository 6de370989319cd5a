#pragma once
// Pure text helpers every layer uses: blanks, the A-Z case fold, UTF-8 boundaries and CR LF.
// They sit in the lowest layer because the console's character-set conversion needs one too.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrine {

// A blank: a character with a code up to 32 (spaces and control characters).
inline bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
inline bool isBlank(char16_t c) {
    return c <= 32;
}

// `text` without the leading and trailing characters `drop` accepts (UTF-8 or UTF-16 text).
template <typename Char, typename Drop>
std::basic_string_view<Char> trimmedBy(std::basic_string_view<Char> text, Drop drop) {
    while (!text.empty() && drop(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && drop(text.back()))
        text.remove_suffix(1);
    return text;
}
// Removes leading and trailing blanks.
std::string trimmed(std::string_view text);

// Maps only the letters A to Z to a to z.
inline char foldAZ(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string lowerAZ(std::string_view text);
// Equal but for the case of A to Z.
bool equalFoldAZ(std::string_view a, std::string_view b);

// Bytes of the UTF-8 sequence a lead byte opens; 1 for ASCII and for a byte that opens none.
std::size_t utf8SequenceLength(unsigned char lead);
// Bytes of the UTF-8 character that starts `s` (not empty): the lead's length, cut short where
// the continuation bytes end.
std::size_t firstCharacterLength(std::string_view s);
// Bytes of the UTF-8 character that ends `s` (not empty); stray continuation bytes count singly.
std::size_t lastCharacterLength(std::string_view s);

// Appends the UTF-8 bytes of one code point.
void appendUtf8(std::string& out, char32_t code);

// Every line end as CR LF: a CR goes in front of each LF that has none.
std::string withCrLf(std::string_view text);

} // namespace kestrine
