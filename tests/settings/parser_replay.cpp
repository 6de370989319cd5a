// Replays seed inputs, and deterministic mutations of them, through the profile and comma-text
// parsers and checks the promises they make. With -DKESTRINE_LIBFUZZER the same check is a
// libFuzzer target instead.

#include "settings/FileTypes.h"
#include "settings/ProfileFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace kestrine;

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

void check(std::string_view text) {
    const char* probeKeys[] = {"Top", "Left", "FileFilter2", "SaveLastSourceFile", "X"};
    const std::string values[] = {"plain", "", " padded ", "\"quoted\"", "a=b;c", "|\"x y\",z|"};
    for (const std::string& value : values) {
        std::string updated = setProfileValue(text, "Kestrine", "Probe", value);
        require(findProfileValue(updated, "Kestrine", "Probe") == value, "value reads back");
        for (const char* key : probeKeys) {
            require(findProfileValue(updated, "Kestrine", key) ==
                        findProfileValue(text, "Kestrine", key),
                    "other keys keep their values");
            require(findProfileValue(updated, "Other", key) == findProfileValue(text, "Other", key),
                    "other sections keep their values");
        }
        // Writing the same value again changes nothing.
        require(setProfileValue(updated, "Kestrine", "Probe", value) == updated, "idempotent");
    }
    for (const char* key : probeKeys)
        if (auto v = findProfileValue(text, "Kestrine", key))
            require(v->size() <= text.size(), "a value is part of the text");

    if (auto n = parseProfileInteger(text))
        require(parseProfileInteger(formatProfileInteger(*n)) == n, "integer round trip");

    std::vector<std::string> items = parseCommaText(text);
    require(parseCommaText(toCommaText(items)) == items, "comma text round trip");
    std::vector<FileTypeRow> rows = loadListForm(text);
    (void)buildListForm(rows);
    (void)buildDialogFilter(rows);
    require(unwrapPipes(wrapInPipes(text)) == text, "pipe wrapper round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}

#ifndef KESTRINE_LIBFUZZER

namespace {

// A fixed generator, so every run replays exactly the same inputs.
struct Lcg {
    std::uint64_t state;
    std::uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    }
};

std::string mutate(std::string s, Lcg& rng) {
    static const std::vector<std::string> tokens = {"[",
                                                    "]",
                                                    "=",
                                                    "\"",
                                                    "'",
                                                    ",",
                                                    "\n",
                                                    "\r\n",
                                                    "\r",
                                                    " ",
                                                    "\t",
                                                    ";",
                                                    "Kestrine",
                                                    "Other",
                                                    "Top",
                                                    "Probe",
                                                    "0x",
                                                    "$",
                                                    "-",
                                                    "|",
                                                    "\xEF\xBB\xBF",
                                                    "\xC3\xBC",
                                                    std::string(1, '\0')};
    int steps = 1 + static_cast<int>(rng.next() % 4);
    for (int i = 0; i < steps; ++i) {
        std::size_t at = s.empty() ? 0 : rng.next() % (s.size() + 1);
        switch (rng.next() % 3) {
        case 0: {
            s.insert(at, tokens[rng.next() % tokens.size()]);
            break;
        }
        case 1:
            if (at < s.size())
                s.erase(at, 1 + rng.next() % 3);
            break;
        default:
            if (at < s.size())
                s[at] = static_cast<char>(rng.next() & 0xFF);
        }
    }
    return s;
}

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> seeds;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file())
                    seeds.push_back(entry.path());
        } else {
            seeds.push_back(p);
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "usage: %s seed-file-or-folder...\n", argv[0]);
        return 2;
    }
    std::sort(seeds.begin(), seeds.end());
    Lcg rng{20240601};
    std::size_t inputs = 0;
    for (const auto& seed : seeds) {
        const std::string original = readAll(seed);
        check(original);
        std::string current = original;
        for (int round = 0; round < 1500; ++round) {
            current = round % 50 == 0 ? original : mutate(current, rng);
            check(current);
            ++inputs;
        }
    }
    std::printf("%zu seeds, %zu inputs checked\n", seeds.size(), inputs);
    return 0;
}

#endif
