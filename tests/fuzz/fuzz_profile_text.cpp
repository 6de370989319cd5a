// The text layer of the settings file. Properties, for any text and any section, key and value:
// reading ends (in time linear in the text: long inputs are allowed and a slow one is a
// finding); a name or value a line cannot hold is refused with the text unchanged; otherwise
// the value reads back (cut to the read limit), every other line survives byte for byte, the
// other keys keep their values and writing the same value again changes nothing.

#include "FuzzCheck.h"

#include "settings/ProfileText.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace kestrine;
using kestrine::fuzz::require;

namespace {

std::vector<std::string_view> pieces(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string_view::npos; from = at + 1)
        out.push_back(text.substr(from, at - from));
    out.push_back(text.substr(from));
    return out;
}

// Whether `before`'s lines all stand in `after` in the same order, byte for byte, with at most
// `added` lines more. A last line without a line end may gain the text's own one (CR LF when
// its first line ends so), since a key written after it needs a line of its own.
bool linesKept(std::string_view before, std::string_view after, std::size_t added) {
    const auto a = pieces(before), b = pieces(after);
    if (b.size() < a.size() || b.size() > a.size() + added)
        return false;
    const std::size_t firstEnd = before.find('\n');
    const bool crlf =
        firstEnd != std::string_view::npos && firstEnd > 0 && before[firstEnd - 1] == '\r';
    std::size_t j = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string_view line = a[i];
        const bool last = i + 1 == a.size();
        auto kept = [&](std::string_view now) {
            return now == line || (last && crlf && now.size() == line.size() + 1 &&
                                   now.substr(0, line.size()) == line && now.back() == '\r');
        };
        while (j < b.size() && !kept(b[j]))
            ++j;
        if (j == b.size())
            return false;
        ++j;
    }
    return true;
}

// The lines of two texts with as many lines, differing in at most one.
bool oneLineChanged(std::string_view before, std::string_view after) {
    const auto a = pieces(before), b = pieces(after);
    if (a.size() != b.size())
        return false;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        changed += a[i] != b[i];
    return changed <= 1;
}

void check(std::string_view section, std::string_view key, std::string_view value,
           std::string_view text) {
    const char* probes[] = {"Top", "Left", "FileFilter2", "SaveLastSourceFile", "Probe", "x"};
    ProfileText profile{std::string(text)};
    for (const char* probe : probes)
        (void)profile.value(section, probe);
    const std::optional<std::string> before = profile.value(section, key);

    const bool storable =
        validProfileName(section, true) && validProfileName(key, false) && validProfileValue(value);
    require(profile.set(section, key, value) == storable,
            "refused exactly what a line cannot hold");
    if (!storable) {
        require(profile.text() == text, "a refused write leaves the text as it was");
        return;
    }
    const std::string& after = profile.text();

    const std::optional<std::string> read = profile.value(section, key);
    require(read.has_value(), "the key is there after writing it");
    require(*read == value, "the value reads back whole");

    if (before)
        require(oneLineChanged(text, after), "replacing a value changes only its own line");
    else
        require(linesKept(text, after, 3), "a new key keeps every other line");

    for (const char* probe : probes) {
        if (std::string_view(probe).size() == key.size() &&
            std::equal(key.begin(), key.end(), probe,
                       [](char a, char b) { return (a | 0x20) == (b | 0x20); }))
            continue;
        require(findProfileValue(after, section, probe) == findProfileValue(text, section, probe),
                "the other keys keep their values");
        require(findProfileValue(after, "Other", probe) == findProfileValue(text, "Other", probe),
                "the other sections keep their values");
    }
    ProfileText again{after};
    again.set(section, key, value);
    require(again.text() == after, "writing the same value again changes nothing");

    if (std::optional<std::int32_t> n = parseProfileInteger(value))
        require(parseProfileInteger(formatProfileInteger(*n)) == n, "integers write and read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Section, key and value before the first three NULs, the text after them; without three
    // NULs the whole input is the text and a settings key is written.
    std::size_t a = input.find('\0');
    std::size_t b = a == std::string_view::npos ? a : input.find('\0', a + 1);
    std::size_t c = b == std::string_view::npos ? b : input.find('\0', b + 1);
    if (c == std::string_view::npos) {
        check("Kestrine", "SaveLastSourceFile", "/home/user/file two.dat", input);
        return 0;
    }
    check(input.substr(0, a), input.substr(a + 1, b - a - 1), input.substr(b + 1, c - b - 1),
          input.substr(c + 1));
    return 0;
}
