#include "settings/ProfileText.h"

#include "platform/Text.h"

#include <climits>
#include <vector>

namespace kestrine {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isTrimChar(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The settings file's own blanks: a value may keep other control characters.
std::string_view trim(std::string_view s) {
    return trimmedBy(s, isTrimChar);
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Line {
    std::size_t start = 0;     // offset of the line in the text
    std::size_t length = 0;    // without the line end
    std::size_t endLength = 0; // "\n", "\r\n" or nothing on an unterminated last line
    Kind kind = Kind::Blank;
    std::string_view name;      // section or key name
    std::string_view value;     // key value, trimmed
    std::size_t valueStart = 0; // offset just after the "=" of a key line
};

Line classify(std::string_view text, std::size_t start, std::size_t length, std::size_t endLength) {
    Line line;
    line.start = start;
    line.length = length;
    line.endLength = endLength;
    std::string_view content = text.substr(start, length);
    std::size_t skipped = 0;
    if (start == 0 && content.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        skipped = kByteOrderMark.size();
    std::string_view body = trim(content.substr(skipped));
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == ';' || body.front() == '#') {
        line.kind = Kind::Comment;
    } else if (body.front() == '[') {
        line.kind = Kind::Section;
        std::string_view inner = body.substr(1);
        std::size_t close = inner.find(']');
        line.name = trim(inner.substr(0, close));
    } else if (std::size_t eq = content.find('=', skipped); eq != std::string_view::npos) {
        line.kind = Kind::Key;
        line.name = trim(content.substr(skipped, eq - skipped));
        line.value = trim(content.substr(eq + 1));
        line.valueStart = start + eq + 1;
    } else {
        line.kind = Kind::Other;
    }
    return line;
}

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::size_t length, endLength;
        if (nl == std::string_view::npos) {
            length = text.size() - pos;
            endLength = 0;
        } else {
            length = nl - pos;
            endLength = 1;
            if (length > 0 && text[nl - 1] == '\r') {
                --length;
                endLength = 2;
            }
        }
        lines.push_back(classify(text, pos, length, endLength));
        pos += length + endLength;
    }
    return lines;
}

// The lines [first, last) of the first section of that name; first is the header's index.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t end = 0;
    bool found = false;
};

SectionSpan findSection(const std::vector<Line>& lines, std::string_view section) {
    SectionSpan span;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Kind::Section)
            continue;
        if (span.found) {
            span.end = i;
            return span;
        }
        if (equalFoldAZ(lines[i].name, section)) {
            span.header = i;
            span.found = true;
        }
    }
    span.end = lines.size();
    return span;
}

std::optional<std::size_t> findKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   std::string_view key) {
    if (!span.found)
        return std::nullopt;
    for (std::size_t i = span.header + 1; i < span.end; ++i)
        if (lines[i].kind == Kind::Key && equalFoldAZ(lines[i].name, key))
            return i;
    return std::nullopt;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool enclosedInQuotes(std::string_view s) {
    return s.size() >= 2 && isQuote(s.front()) && s.back() == s.front();
}

// The line end of the text's first line, the one the file was written with.
std::string_view lineEndOf(std::string_view text) {
    const std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r')
        return "\r\n";
    return "\n";
}

std::string storedForm(std::string_view value) {
    // Reading trims blanks and drops one pair of quotes; protect values that would lose either.
    bool protect = !value.empty() && (isTrimChar(value.front()) || isTrimChar(value.back()) ||
                                      enclosedInQuotes(value));
    if (!protect)
        return std::string(value);
    return "\"" + std::string(value) + "\"";
}

} // namespace

std::optional<std::string> findProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    std::vector<Line> lines = splitLines(text);
    SectionSpan span = findSection(lines, section);
    std::optional<std::size_t> at = findKey(lines, span, key);
    if (!at)
        return std::nullopt;
    std::string_view value = lines[*at].value;
    if (enclosedInQuotes(value))
        value = value.substr(1, value.size() - 2);
    // Read whole: a cut would silently drop file types that Kestrine itself saved.
    return std::string(value);
}

std::string setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    std::vector<Line> lines = splitLines(text);
    SectionSpan span = findSection(lines, section);
    std::string entryValue = storedForm(value);
    std::string out;
    out.reserve(text.size() + key.size() + entryValue.size() + section.size() + 8);

    if (std::optional<std::size_t> at = findKey(lines, span, key)) {
        // Keep the key's own spelling and spacing up to "="; replace only the value.
        const Line& line = lines[*at];
        out.append(text.substr(0, line.valueStart));
        out.append(entryValue);
        out.append(text.substr(line.start + line.length));
        return out;
    }

    const std::string_view eol = lineEndOf(text);
    std::string entry = std::string(key) + "=" + entryValue + std::string(eol);
    if (span.found) {
        // After the section's last entry, so blank lines and comments that lead into the next
        // section stay with it.
        std::size_t after = span.header;
        for (std::size_t i = span.header + 1; i < span.end; ++i)
            if (lines[i].kind == Kind::Key || lines[i].kind == Kind::Other)
                after = i;
        const Line& last = lines[after];
        std::size_t insertAt = last.start + last.length + last.endLength;
        out.append(text.substr(0, insertAt));
        if (last.endLength == 0)
            out.append(eol);
        out.append(entry);
        out.append(text.substr(insertAt));
        return out;
    }

    out.append(text);
    if (!out.empty() && out.back() != '\n')
        out.append(eol);
    out.append("[").append(section).append("]").append(eol).append(entry);
    return out;
}

bool validProfileName(std::string_view name, bool isSection) {
    if (name.empty() || trim(name) != name)
        return false;
    for (char c : name)
        if (c == '\n' || c == '\r' || c == '\0')
            return false;
    if (isSection)
        return name.find(']') == std::string_view::npos;
    return name.find('=') == std::string_view::npos && name.front() != '[' && name.front() != ';' &&
           name.front() != '#';
}

bool validProfileValue(std::string_view value) {
    for (char c : value)
        if (c == '\n' || c == '\r' || c == '\0')
            return false;
    return true;
}

std::optional<std::int32_t> parseProfileInteger(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    bool hex = false;
    if (!rest.empty() && rest.front() == '$') {
        hex = true;
        rest.remove_prefix(1);
    } else if (rest.size() >= 3 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        rest.remove_prefix(2);
    }
    if (rest.empty())
        return std::nullopt;

    std::uint64_t magnitude = 0;
    for (char c : rest) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
    }

    if (hex) {
        // 32 bits taken as they stand, so colours such as 0xFF00001C keep their bit pattern.
        auto bits = static_cast<std::uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    auto signedValue = static_cast<std::int64_t>(magnitude);
    if (negative)
        signedValue = -signedValue;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}

std::string formatProfileInteger(std::int32_t value) {
    return std::to_string(value);
}

bool ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
    // A line break would split the entry and plant lines of its own in the file.
    if (!validProfileName(section, true) || !validProfileName(key, false) ||
        !validProfileValue(value))
        return false;
    text_ = setProfileValue(text_, section, key, value);
    return true;
}

} // namespace kestrine
