#include "platform/Text.h"

namespace kestrine {

std::string trimmed(std::string_view text) {
    return std::string(trimmedBy(text, [](char c) { return isBlank(c); }));
}

std::string lowerAZ(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = foldAZ(c);
    return out;
}

bool equalFoldAZ(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAZ(a[i]) != foldAZ(b[i]))
            return false;
    return true;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::size_t utf8SequenceLength(unsigned char lead) {
    return lead < 0x80           ? 1
           : (lead >> 5) == 0x06 ? 2
           : (lead >> 4) == 0x0E ? 3
           : (lead >> 3) == 0x1E ? 4
                                 : 1;
}

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::size_t firstCharacterLength(std::string_view s) {
    const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(s[0]));
    std::size_t i = 1;
    while (i < n && i < s.size() && isContinuation(s[i]))
        ++i;
    return i;
}

std::size_t lastCharacterLength(std::string_view s) {
    std::size_t n = 1;
    while (n < s.size() && isContinuation(s[s.size() - n]) && n < 4)
        ++n;
    // Continuation bytes without a multi-byte lead in front of them count byte by byte.
    if (n > 1 && static_cast<unsigned char>(s[s.size() - n]) < 0xC0)
        return 1;
    return n;
}

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

} // namespace kestrine
