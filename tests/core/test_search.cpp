// The text search: its edge cases as table rows, and generated files checked against a plain
// loop over the whole file, also when the file has shrunk or grown since it was measured.

#include "TestPlatform.h"

#include "core/Search.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/file.h>
#include <unistd.h>

using namespace kestrine;
using namespace kestrine::testing;

namespace {

// The first place at or after the start (behind the last hit when the cursor is on it) and at
// or before the measured size where every byte's upper case equals the text's, by brute force
// over the file as it is.
std::optional<Position> reference(const std::vector<char>& file, Position measured, Position start,
                                  const LastHit& last, const std::u16string& text) {
    if (text.empty())
        return std::nullopt;
    if (last.made && start == last.position)
        start += static_cast<Position>(text.size());
    const auto size = static_cast<Position>(file.size());
    for (Position j = start; j <= measured && j + static_cast<Position>(text.size()) <= size; ++j) {
        bool all = true;
        for (std::size_t i = 0; i < text.size() && all; ++i)
            all = searchUpper(static_cast<unsigned char>(file[j + i])) == searchUpper(text[i]);
        if (all)
            return j;
    }
    return std::nullopt;
}

std::optional<Position> found(const SearchResult& r) {
    EXPECT_NE(r.outcome, SearchOutcome::CannotOpen);
    if (r.outcome == SearchOutcome::Found)
        return r.position;
    return std::nullopt;
}

std::u16string latin1(const std::string& bytes) {
    std::u16string out;
    for (unsigned char c : bytes)
        out.push_back(c);
    return out;
}

std::string letters(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(n, 'a');
    for (auto& c : out)
        c = static_cast<char>((gen() & 1 ? 'a' : 'A') + gen() % 26);
    return out;
}

// Swaps the case of every letter, so the file and the text never agree byte for byte.
std::string swapCase(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(c ^ 0x20);
    return s;
}

struct Row {
    const char* name;
    std::size_t size; // filled with '.'
    std::vector<std::pair<std::size_t, std::string>> put;
    std::u16string text;
    Position start;
    LastHit last;
    std::optional<Position> expected;
    std::optional<Position> measured = {}; // the size the search is told, when not the file's
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

std::vector<Row> rows() {
    const std::string long10k = letters(10240, 1), long20k = letters(20000, 2);
    // Texts that agree with much of the file at many places: every candidate spells a long
    // part of the text before it fails.
    const std::string a2000(2000, 'a'), ab1000 = [] {
        std::string s;
        for (int i = 0; i < 1000; ++i)
            s += "ab";
        return s;
    }();
    return {
        {"xxaaaaFirstPress", 0, {{0, "xxaaaa"}}, u"aa", 1, {}, 2},
        {"xxaaaaSecondPress", 0, {{0, "xxaaaa"}}, u"aa", 2, {true, 2}, 4},
        {"xxaaaaThirdPressFindsNothing", 0, {{0, "xxaaaa"}}, u"aa", 4, {true, 4}, std::nullopt},
        {"HitAtZeroBeforeAnyHit", 64, {{0, "PK"}}, u"pk", 0, {}, 0},
        {"CursorOnHitAtZeroFindsNext", 64, {{0, "PK"}, {40, "pK"}}, u"Pk", 0, {true, 0}, 40},
        {"CursorBesideLastHitSearchesFromCursor", 64, {{5, "ab"}}, u"AB", 5, {true, 4}, 5},
        {"HitCrossingFirstBlockEnd", 30000, {{10239, "Abcd"}}, u"aBCD", 1, {}, 10239},
        {"HitOnLastCandidateOfOverlap", 30000, {{10238, "Abcd"}}, u"aBCD", 1, {}, 10238},
        {"HitCrossingThirdBlockEnd", 50000, {{30711, "WxYz"}}, u"wxyz", 1, {}, 30711},
        {"HitInLastBytes", 20000, {{19997, "end"}}, u"END", 0, {}, 19997},
        {"CapitalEAcuteFindsC9", 20, {{7, "\xC9"}}, u"\u00C9", 0, {}, 7},
        {"CapitalEAcuteFindsE9", 20, {{9, "\xE9"}}, u"\u00C9", 0, {}, 9},
        {"SmallEAcuteFindsC9", 20, {{3, "\xC9"}}, u"\u00E9", 0, {}, 3},
        {"MicroSignFindsB5", 20, {{4, "\xB5"}}, u"\u00B5", 0, {}, 4},
        {"GreekMuFindsMicroSign", 20, {{4, "\xB5"}}, u"\u03BC", 0, {}, 4},
        {"CapitalYDiaeresisFindsFF", 20, {{6, "\xFF"}}, u"\u0178", 0, {}, 6},
        {"DotlessIFindsI", 20, {{2, "i"}}, u"\u0131", 0, {}, 2},
        {"SharpSOnlyItself", 20, {{2, "ss\xDF"}}, u"\u00DF", 0, {}, 4},
        {"EuroSignNeverMatches", 20, {{2, "\x80\xA4"}}, u"\u20AC", 0, {}, std::nullopt},
        {"DivisionSignNotMultiplication", 20, {{2, "\xD7\xF7"}}, u"\u00F7", 0, {}, 3},
        {"TextLongerThanFile", 0, {{0, "abc"}}, u"abcd", 0, {}, std::nullopt},
        {"TextIsWholeFile", 0, {{0, "abc"}}, u"ABC", 0, {}, 0},
        {"EmptyFile", 0, {}, u"a", 0, {}, std::nullopt},
        {"NoRoomBehindStart", 100, {{98, "ab"}}, u"ab", 99, {}, std::nullopt},
        {"Text10240InLargeFile",
         100000,
         {{54321, long10k}},
         latin1(swapCase(long10k)),
         3,
         {},
         54321},
        {"Text20000InLargeFile",
         100000,
         {{70001, long20k}},
         latin1(swapCase(long20k)),
         0,
         {},
         70001},
        {"Text20000AtFileEnd", 60000, {{40000, long20k}}, latin1(long20k), 40000, {}, 40000},
        // Reads come back short, or reach past the measured end.
        {"ShrunkBelowMeasured", 4000, {{100, "abc"}}, u"ABC", 0, {}, 100, 5000},
        {"ShrunkBelowFirstBlock", 5000, {{100, "abc"}}, u"abc", 0, {}, 100, 30000},
        {"ShrunkHitInShortBlock", 25000, {{24000, "abc"}}, u"abc", 0, {}, 24000, 40000},
        {"GrownHitCrossingMeasuredEnd", 6000, {{4999, "abc"}}, u"abc", 0, {}, 4999, 5000},
        {"GrownHitAtMeasuredEnd", 6000, {{5000, "abc"}}, u"abc", 10, {}, 5000, 5000},
        {"GrownHitPastMeasuredEnd", 6000, {{5001, "abc"}}, u"abc", 0, {}, std::nullopt, 5000},
        {"GrownSmallFile", 40, {{6, "abc"}}, u"abc", 0, {}, 6, 6},
        {"RunOfAAroundOneB",
         0,
         {{0, std::string(30000, 'a')}, {25000, "b"}},
         latin1(a2000 + "B" + a2000),
         0,
         {},
         23000},
        {"RunOfANoB", 0, {{0, std::string(30000, 'a')}}, latin1(a2000 + "b" + a2000), 0, {}, {}},
        {"PeriodicTextBrokenOnce",
         0,
         {{0, ab1000 + ab1000 + ab1000 + ab1000 + ab1000 + "a" + ab1000 + ab1000}},
         latin1(swapCase(ab1000) + "a" + ab1000),
         1,
         {},
         8000},
        {"Text10240NotInFile",
         100000,
         {{500, long10k.substr(1)}},
         latin1(long10k),
         0,
         {},
         std::nullopt},
    };
}

class SearchTable : public ::testing::TestWithParam<Row> {};

TEST_P(SearchTable, FindsTheSameHitAsAPlainLoop) {
    const Row& row = GetParam();
    std::vector<char> file(row.size, '.');
    for (const auto& [at, bytes] : row.put) {
        if (file.size() < at + bytes.size())
            file.resize(at + bytes.size(), '.');
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    }
    TempDir dir;
    writeFile(dir.file("f"), file);
    const Position measured = row.measured.value_or(static_cast<Position>(file.size()));
    EXPECT_EQ(reference(file, measured, row.start, row.last, row.text), row.expected);
    // The plain reads and the system's gathered ones alike.
    TestPlatform platform;
    for (Platform* pf : {static_cast<Platform*>(&platform), &Platform::system()})
        EXPECT_EQ(found(searchFile(*pf, dir.file("f"), measured, row.start, row.last, row.text)),
                  row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SearchTable, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

// A case mapping of Cyrillic's basic letters, as the window's Qt mapping gives them, besides
// the search's own Latin-1 knowledge.
std::vector<char32_t> cyrillicSameCase(char32_t c) {
    std::vector<char32_t> same = latin1SameCase(c);
    if (c >= 0x410 && c <= 0x42F)
        same.push_back(c + 0x20);
    else if (c >= 0x430 && c <= 0x44F)
        same.push_back(c - 0x20);
    return same;
}

struct Utf8Row {
    const char* name;
    std::vector<std::pair<std::size_t, std::string>> put; // into 30,000 "."
    std::u16string text;
    Position start;
    LastHit last;
    std::optional<Position> expected;
    bool utf8 = true; // the hit's form
};

void PrintTo(const Utf8Row& row, std::ostream* out) {
    *out << row.name;
}

class Utf8Table : public ::testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8Table, FindsTheTextInUtf8Too) {
    const Utf8Row& row = GetParam();
    std::vector<char> file(30000, '.');
    for (const auto& [at, bytes] : row.put)
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    TempDir dir;
    writeFile(dir.file("f"), file);
    TestPlatform platform;
    for (Platform* pf : {static_cast<Platform*>(&platform), &Platform::system()}) {
        const SearchResult r =
            searchFile(*pf, dir.file("f"), 30000, row.start, row.last, row.text, cyrillicSameCase);
        EXPECT_EQ(found(r), row.expected);
        if (row.expected) {
            EXPECT_EQ(r.utf8, row.utf8);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Utf8Table,
    ::testing::Values(
        Utf8Row{"Cyrillic", {{40, "Привет"}}, u"Привет", 0, {}, 40},
        Utf8Row{"CyrillicOtherCase", {{40, "ПРИВЕТ"}, {90, "привет"}}, u"пРиВеТ", 0, {}, 40},
        Utf8Row{
            "CyrillicFindNextSkipsTheHitsBytes", {{40, "ыыыы"}}, u"ыы", 40, {true, 40, true}, 44},
        Utf8Row{"CrossingTheFirstBlockEnd", {{10235, "привет"}}, u"ПРИВЕТ", 1, {}, 10235},
        Utf8Row{"Latin1LetterInUtf8",
                {{70, "\xC3\xA9"
                      "cole"}},
                u"\u00C9COLE",
                0,
                {},
                70},
        Utf8Row{"SingleByteFormFirst",
                {{50, "\xE9"
                      "cole"},
                 {70, "\xC3\xA9"
                      "cole"}},
                u"\u00C9cole",
                0,
                {},
                50,
                false},
        Utf8Row{"Utf8FormFirst",
                {{50, "\xC3\x89"
                      "COLE"},
                 {70, "\xE9"
                      "cole"}},
                u"\u00E9cole",
                0,
                {},
                50},
        Utf8Row{"SingleByteFindNextSkipsTheCharacters",
                {{50, "\xE9\xE9\xC3\xA9"}},
                u"\u00E9",
                50,
                {true, 50, false},
                51,
                false},
        // The Kelvin sign's lower case "k" has a UTF-8 of another length: only the sign itself.
        Utf8Row{"KelvinSignOnlyItself", {{5, "kK\xE2\x84\xAA"}}, u"\u212A", 0, {}, 7},
        Utf8Row{"NotInUtf8Either", {{5, "Приве"}}, u"Привет", 0, {}, std::nullopt},
        Utf8Row{"LoneSurrogateNever", {{5, "\xED\xA0\x80"}}, u"\xD800", 0, {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Files of a few case-mixed byte values and texts cut from them with their case changed, short
// and long, from random starts and after random hits, through both ways of reading, the file
// now and then shorter or longer than the size the search is told.
TEST(Search, AgreesWithPlainLoopOnGeneratedFiles) {
    const std::string alphabet = "aAbB\xE9\xC9\xB5\xFF.";
    std::mt19937 gen(7);
    TempDir dir;
    TestPlatform platform;
    for (int round = 0; round < 300; ++round) {
        const std::size_t size = gen() % 3 == 0 ? gen() % 40 : gen() % 30000;
        std::vector<char> file(size);
        for (auto& c : file)
            c = alphabet[gen() % alphabet.size()];
        writeFile(dir.file("f"), file);

        std::size_t length = 1 + gen() % (gen() % 4 == 0 ? 12000 : 6);
        std::u16string text;
        const bool cut = gen() % 2 == 0;
        const std::size_t from = size > 0 ? gen() % size : 0;
        for (std::size_t i = 0; i < length; ++i) {
            // Mostly the file's own bytes with their case flipped now and then.
            unsigned char c = from + i < size && (cut || gen() % 50 != 0)
                                  ? static_cast<unsigned char>(file[from + i])
                                  : static_cast<unsigned char>(alphabet[gen() % alphabet.size()]);
            if (gen() % 3 == 0 && c != '.' && c != 0xB5 && c != 0xFF)
                c ^= 0x20;
            text.push_back(c == 0xFF && gen() % 2 ? u'\u0178' : c);
        }
        const Position start = size > 0 ? static_cast<Position>(gen() % (size + 1)) : 0;
        LastHit last;
        if (gen() % 2)
            last = {true, gen() % 2 ? start : static_cast<Position>(gen() % (size + 1))};

        auto measured = static_cast<Position>(size);
        if (gen() % 4 == 0)
            measured = static_cast<Position>(gen() % (2 * size + 20));
        const auto expected = reference(file, measured, start, last, text);
        // The system's gathered reads and the plain ones alike.
        for (Platform* pf : {static_cast<Platform*>(&platform), &Platform::system()}) {
            const auto actual = found(searchFile(*pf, dir.file("f"), measured, start, last, text));
            ASSERT_EQ(actual, expected)
                << "round " << round << ", size " << size << ", measured " << measured
                << ", length " << text.size() << ", start " << start;
        }
    }
}

TEST(Search, LockedOrMissingFileCannotBeOpened) {
    TempDir dir;
    writeFile(dir.file("f"), std::vector<char>(100, 'a'));
    const int holder = ::open(dir.file("f").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    TestPlatform platform;
    EXPECT_EQ(searchFile(platform, dir.file("f"), 100, 0, {}, u"a").outcome,
              SearchOutcome::CannotOpen);
    ::close(holder);
    EXPECT_EQ(searchFile(platform, dir.file("f"), 100, 0, {}, u"a").outcome, SearchOutcome::Found);
    EXPECT_EQ(searchFile(platform, dir.file("none"), 100, 0, {}, u"a").outcome,
              SearchOutcome::CannotOpen);
}

// A block whose read fails holds no candidates; the search goes on with the next one.
TEST(Search, FailedReadSkipsOnlyItsBlock) {
    TempDir dir;
    std::vector<char> file(30000, '.');
    std::copy_n("key", 3, file.begin() + 100);
    std::copy_n("KEY", 3, file.begin() + 20000);
    writeFile(dir.file("f"), file);
    TestPlatform platform;
    platform.failReadAt = 1;
    EXPECT_EQ(found(searchFile(platform, dir.file("f"), 30000, 0, {}, u"Key")), 20000);
}

} // namespace

// Batches searched by several readers at once: whichever finds first, the outcome is the first
// hit (or the end of the file) in the order the blocks lie, with hits scattered over a file of
// many batches, near and across their edges, and the file now and then shorter than measured.
TEST(Search, ReadersAtOnceAgreeWithPlainLoop) {
    struct ManyReaders : PosixPlatform {
        unsigned readersAtOnce() override { return 6; }
    } many;
    std::mt19937 gen(11);
    TempDir dir;
    constexpr std::size_t kSize = 3 << 20;
    for (int round = 0; round < 24; ++round) {
        std::vector<char> file(kSize, '.');
        const std::string needle = round % 5 == 0 ? letters(12000, round) : letters(16, round);
        const std::u16string text = latin1(swapCase(needle));
        for (unsigned k = gen() % 4; k > 0; --k) {
            // Batches hold 32 blocks of 10,240 bytes less the text's length.
            const std::size_t edge = (gen() % 9 + 1) * 32 * (10240 - 16);
            const std::size_t at = gen() % 2 ? edge - gen() % 40 : gen() % kSize;
            if (at + needle.size() <= kSize)
                std::copy(needle.begin(), needle.end(), file.begin() + static_cast<long>(at));
        }
        if (gen() % 4 == 0)
            file.resize(gen() % kSize); // shrunk since it was measured
        writeFile(dir.file("f"), file);
        const Position start = gen() % 2 ? 0 : static_cast<Position>(gen() % kSize);
        const auto measured = static_cast<Position>(kSize);
        const auto expected = reference(file, measured, start, {}, text);
        for (Platform* pf : {static_cast<Platform*>(&many), &Platform::system()})
            ASSERT_EQ(found(searchFile(*pf, dir.file("f"), measured, start, {}, text)), expected)
                << "round " << round << ", start " << start << ", measured " << measured;
    }
}
