#include "core/Search.h"

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace kestrine {

namespace {

// Blocks read in one batch, and the most bytes a batch takes (a block longer than that, for a
// long text, is read alone).
constexpr Position kBatchBlocks = 32;
constexpr Position kBatchBytes = kBatchBlocks * kSearchBlockSize;

// The upper-cased character of each byte value, built once. Latin-1 has two lower-case letters
// whose upper case lies outside it: the micro sign and y with diaeresis; sharp s has none.
constexpr std::array<char16_t, 256> makeByteUpper() {
    std::array<char16_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        char16_t u = static_cast<char16_t>(b);
        if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
            u = static_cast<char16_t>(b - 0x20);
        else if (b == 0xB5)
            u = 0x039C;
        else if (b == 0xFF)
            u = 0x0178;
        table[b] = u;
    }
    return table;
}

constexpr std::array<char16_t, 256> kByteUpper = makeByteUpper();

// Every byte's upper case lies below U+0400, so a table over that range tells which bytes take
// each one: checking a long text costs one look-up per character.
constexpr std::size_t kUpperRange = 0x400;

// Each upper case is taken by at most two bytes, and two that share one differ in a single bit
// (0x20 for every Latin-1 case pair), so "byte b takes it" is the one test (b | mask) == value.
struct ByteClass {
    unsigned char mask = 0, value = 0;
};

// The bytes that take each upper case, in one pass over the byte values.
struct Takers {
    int count = 0;
    unsigned char bytes[2] = {0, 0};
};
constexpr std::array<Takers, kUpperRange> makeTakers() {
    std::array<Takers, kUpperRange> takers{};
    for (unsigned b = 0; b < 256; ++b) {
        Takers& t = takers[kByteUpper[b]];
        if (t.count < 2)
            t.bytes[t.count] = static_cast<unsigned char>(b);
        ++t.count;
    }
    return takers;
}
constexpr std::array<Takers, kUpperRange> kTakers = makeTakers();

constexpr ByteClass classOf(char16_t u) {
    const Takers& t = kTakers[u];
    const auto mask = static_cast<unsigned char>(t.count == 2 ? t.bytes[0] ^ t.bytes[1] : 0);
    return {mask, static_cast<unsigned char>(t.bytes[0] | mask)};
}

constexpr bool everyClassIsOneTest() {
    for (const Takers& t : kTakers) {
        const unsigned mask = t.count == 2 ? t.bytes[0] ^ t.bytes[1] : 0;
        if (t.count > 2 || (mask & (mask - 1)) != 0)
            return false;
    }
    return true;
}
static_assert(everyClassIsOneTest());

// Each byte's class: the smallest byte whose character has the same upper case, so that two
// bytes compare equal without regard to case exactly when their classes do.
constexpr std::array<unsigned char, 256> makeByteClassNames() {
    std::array<unsigned char, 256> names{};
    for (unsigned b = 0; b < 256; ++b)
        names[b] = kTakers[kByteUpper[b]].bytes[0];
    return names;
}
constexpr std::array<unsigned char, 256> kClassName = makeByteClassNames();

// How common each byte's class is in ordinary files, higher for more common: zero bytes and
// 0xFF fill binaries, spaces and the frequent letters fill text. The filter tests the text's
// rarest characters, so that a file full of the text's other characters rarely passes it.
constexpr std::array<unsigned char, 256> makeCommonness() {
    std::array<unsigned char, 256> score{};
    for (unsigned b = 0; b < 256; ++b)
        score[b] = b >= 0x80 ? 30 : b < 0x20 ? 60 : 80; // high bytes, controls, punctuation
    score[0x00] = 255;
    score[0xFF] = 200;
    score[' '] = 230;
    score['\n'] = score['\r'] = score['\t'] = 120;
    for (unsigned b = '0'; b <= '9'; ++b)
        score[b] = 100;
    const char byFrequency[] = "etaoinshrdlcumwfgypbvkjxqz";
    for (unsigned i = 0; i < 26; ++i)
        score[static_cast<unsigned char>(byFrequency[i])] = static_cast<unsigned char>(220 - 6 * i);
    std::array<unsigned char, 256> ofClass{};
    for (unsigned b = 0; b < 256; ++b)
        ofClass[kClassName[b]] = std::max(ofClass[kClassName[b]], score[b]);
    return ofClass;
}
constexpr std::array<unsigned char, 256> kCommonness = makeCommonness();

// fallback[q] of the follower (Knuth-Morris-Pratt) over a text of codes: where to go on when the
// code after q matched ones is not code[q]: the longest prefix that ends those q codes and is
// not followed by code[q] either.
template <typename Code> std::vector<std::uint32_t> fallbackOf(const std::vector<Code>& code) {
    const std::size_t length = code.size();
    // border[i]: the length of the longest proper prefix of code[0..i] that also ends it.
    std::vector<std::uint32_t> border(length, 0);
    for (std::size_t i = 1, k = 0; i < length; ++i) {
        while (k > 0 && code[i] != code[k])
            k = border[k - 1];
        if (code[i] == code[k])
            ++k;
        border[i] = static_cast<std::uint32_t>(k);
    }
    // Skipping the prefixes followed by the very character that failed spares a long periodic
    // text a walk down all its periods at each mismatch.
    std::vector<std::uint32_t> fallback(length, 0);
    for (std::size_t q = 1; q < length; ++q) {
        const std::uint32_t k = border[q - 1];
        fallback[q] = code[k] == code[q] ? fallback[k] : k;
    }
    return fallback;
}

// The text as byte classes, with what the candidate filter and the byte-by-byte follower need.
struct Pattern {
    std::vector<unsigned char> code;
    // fallback[q]: where to go on when the byte after q spelled characters is not code[q]: the
    // longest prefix that ends those q characters and is not followed by code[q] either.
    std::vector<std::uint32_t> fallback;
    // The filter tests the bytes at these two places of each candidate.
    std::size_t oneAt = 0, twoAt = 0;
    ByteClass one, two;
    bool possible = true; // false: some character of the text no byte can take

    std::size_t length() const { return code.size(); }
};

Pattern makePattern(std::u16string_view text) {
    Pattern p;
    p.code.reserve(text.size());
    for (char16_t c : text) {
        const char16_t u = searchUpper(c);
        if (u >= kUpperRange || kTakers[u].count == 0) {
            p.possible = false;
            return p;
        }
        p.code.push_back(kTakers[u].bytes[0]);
    }
    const std::size_t length = p.code.size();
    p.fallback = fallbackOf(p.code);
    // The rarest character, then the rarest of another class (or the far end of the text when
    // every character is of one class).
    const auto rarer = [&](std::size_t a, std::size_t b) {
        return kCommonness[p.code[a]] < kCommonness[p.code[b]];
    };
    for (std::size_t i = 1; i < length; ++i)
        if (rarer(i, p.oneAt))
            p.oneAt = i;
    p.twoAt = p.oneAt < length / 2 ? length - 1 : 0;
    for (std::size_t i = 0; i < length; ++i)
        if (p.code[i] != p.code[p.oneAt] &&
            (p.code[p.twoAt] == p.code[p.oneAt] || rarer(i, p.twoAt)))
            p.twoAt = i;
    p.one = classOf(kByteUpper[p.code[p.oneAt]]);
    p.two = classOf(kByteUpper[p.code[p.twoAt]]);
    return p;
}

// Follows the text through the block byte by byte from candidate j (Knuth-Morris-Pratt over the
// byte classes) until it is spelled, giving the hit, or until no start of it is pending, giving
// -1 with `next` at the first candidate still to test. The filter never sends the follower back
// over bytes it has followed, so a block costs time in proportion to its size whatever the
// text and the file: a file of "a" searched for many "a" around one "b" stays as quick as any.
std::int64_t follow(const unsigned char* buf, std::size_t n, std::size_t j, const Pattern& p,
                    std::size_t& next) {
    const std::size_t length = p.code.size();
    std::size_t q = 0; // characters of the text spelled by the bytes just followed
    for (std::size_t i = j; i < n;) {
        const unsigned char c = kClassName[buf[i++]];
        while (q > 0 && p.code[q] != c)
            q = p.fallback[q];
        if (p.code[q] == c && ++q == length)
            return static_cast<std::int64_t>(i - length);
        if (q == 0) {
            next = i;
            return -1;
        }
    }
    next = n; // the block ends before the text could
    return -1;
}

// The text in UTF-8: each character one of the UTF-8 spellings of its case class (the spellings
// of one class all of one length), for the filter and a follower that reads the block a
// character at a time.
struct Utf8Pattern {
    bool possible = false;
    std::size_t bytes = 0; // the text's length in bytes, the same for every spelling
    std::vector<int> code; // each character's case class
    std::vector<std::uint32_t> fallback;
    std::array<int, 128> ascii; // the class of each one-byte spelling, -1 for none
    // The class of each longer spelling, its bytes packed from the lowest on.
    std::unordered_map<std::uint32_t, int> longer;
    std::size_t oneAt = 0, twoAt = 0;
    ByteClass one, two;

    std::size_t length() const { return bytes; }
};

// The number of bytes of the UTF-8 sequence that `lead` begins, 0 for no lead byte.
constexpr std::size_t sequenceLength(unsigned char lead) {
    return lead < 0x80   ? 1
           : lead < 0xC2 ? 0
           : lead < 0xE0 ? 2
           : lead < 0xF0 ? 3
           : lead < 0xF5 ? 4
                         : 0;
}

// The code points of `text`; false for a lone surrogate, which no UTF-8 can spell.
bool codePoints(std::u16string_view text, std::u32string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        } else {
            out += c;
        }
    }
    return true;
}

constexpr bool isScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

std::uint32_t packed(const unsigned char* bytes, std::size_t n) {
    std::uint32_t key = 0;
    for (std::size_t i = 0; i < n; ++i)
        key |= std::uint32_t{bytes[i]} << (8 * i);
    return key;
}

// The UTF-8 form of a text that holds a character beyond ASCII (an ASCII text's UTF-8 is its
// single-byte form already).
Utf8Pattern makeUtf8Pattern(std::u16string_view text, const SameCase& sameCase) {
    Utf8Pattern p;
    p.ascii.fill(-1);
    std::u32string points;
    if (!codePoints(text, points) ||
        std::all_of(points.begin(), points.end(), [](char32_t c) { return c < 0x80; }))
        return p;
    // Each character's spellings: its own UTF-8 and that of each character of the same case
    // with a UTF-8 of the same length.
    std::vector<std::vector<std::string>> spellings(points.size());
    std::unordered_map<char32_t, std::size_t> firstOf; // a character's first place in the text
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (const auto seen = firstOf.find(points[i]); seen != firstOf.end()) {
            spellings[i] = spellings[seen->second];
            continue;
        }
        firstOf.emplace(points[i], i);
        std::string own;
        appendUtf8(own, points[i]);
        spellings[i].push_back(own);
        if (sameCase)
            for (char32_t other : sameCase(points[i])) {
                std::string form;
                if (isScalar(other))
                    appendUtf8(form, other);
                if (form.size() == own.size() &&
                    std::find(spellings[i].begin(), spellings[i].end(), form) == spellings[i].end())
                    spellings[i].push_back(form);
            }
    }
    // Case classes: characters that share a spelling are one class, with every spelling of any
    // of them (a case mapping gives classes that share all or none; this keeps the follower
    // right whatever `sameCase` says).
    std::unordered_map<std::string, int> classOfSpelling;
    std::vector<int> parent;
    const auto root = [&](int c) {
        while (parent[static_cast<std::size_t>(c)] != c)
            c = parent[static_cast<std::size_t>(c)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(c)])];
        return c;
    };
    std::vector<int> charClass(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int mine = static_cast<int>(parent.size());
        parent.push_back(mine);
        for (const std::string& form : spellings[i]) {
            const auto [at, fresh] = classOfSpelling.emplace(form, mine);
            if (!fresh)
                parent[static_cast<std::size_t>(root(at->second))] = root(mine);
        }
        charClass[i] = mine;
    }
    std::vector<std::vector<std::string>> classForms(parent.size());
    for (auto& [form, c] : classOfSpelling) {
        c = root(c);
        classForms[static_cast<std::size_t>(c)].push_back(form);
        if (form.size() == 1)
            p.ascii[static_cast<unsigned char>(form[0])] = c;
        else
            p.longer.emplace(
                packed(reinterpret_cast<const unsigned char*>(form.data()), form.size()), c);
    }
    // Each byte place of the text: the bytes its spellings can have there, as one test that
    // takes all of them (and maybe a few more), and how common those bytes are.
    std::vector<ByteClass> tests;
    std::vector<int> score;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int c = root(charClass[i]);
        p.code.push_back(c);
        const std::vector<std::string>& forms = classForms[static_cast<std::size_t>(c)];
        for (std::size_t k = 0; k < forms[0].size(); ++k) {
            const auto first = static_cast<unsigned char>(forms[0][k]);
            unsigned char mask = 0;
            int common = 0;
            for (const std::string& form : forms) {
                const auto b = static_cast<unsigned char>(form[k]);
                mask = static_cast<unsigned char>(mask | (b ^ first));
                // Lead bytes of longer sequences begin every character of a script.
                common =
                    std::max<int>(common, sequenceLength(b) > 1 ? 200 : kCommonness[kClassName[b]]);
            }
            tests.push_back({mask, static_cast<unsigned char>(first | mask)});
            score.push_back(common + 40 * __builtin_popcount(mask));
        }
    }
    p.bytes = tests.size();
    p.fallback = fallbackOf(p.code);
    for (std::size_t t = 1; t < p.bytes; ++t)
        if (score[t] < score[p.oneAt])
            p.oneAt = t;
    const auto same = [&](std::size_t a, std::size_t b) {
        return tests[a].mask == tests[b].mask && tests[a].value == tests[b].value;
    };
    p.twoAt = p.oneAt < p.bytes / 2 ? p.bytes - 1 : 0;
    for (std::size_t t = 0; t < p.bytes; ++t)
        if (!same(t, p.oneAt) && (same(p.twoAt, p.oneAt) || score[t] < score[p.twoAt]))
            p.twoAt = t;
    p.one = tests[p.oneAt];
    p.two = tests[p.twoAt];
    p.possible = true;
    return p;
}

// The follower of the UTF-8 form: Knuth-Morris-Pratt over the block read as characters, a
// spelling of the text's being one character and any other byte one of its own. A hit begins
// with the first byte of a spelling, never inside a spelling (whose other bytes are
// continuation bytes), so reading from any candidate on meets every later hit's first byte.
std::int64_t follow(const unsigned char* buf, std::size_t n, std::size_t j, const Utf8Pattern& p,
                    std::size_t& next) {
    const std::size_t length = p.code.size();
    std::size_t q = 0;
    for (std::size_t i = j; i < n;) {
        const unsigned char lead = buf[i];
        int c = -1;
        std::size_t width = 1;
        if (lead < 0x80) {
            c = p.ascii[lead];
        } else if (const std::size_t w = sequenceLength(lead); w > 1 && i + w <= n) {
            if (const auto it = p.longer.find(packed(buf + i, w)); it != p.longer.end()) {
                c = it->second;
                width = w;
            }
        }
        i += width;
        while (q > 0 && p.code[q] != c)
            q = p.fallback[q];
        if (p.code[q] == c && ++q == length)
            return static_cast<std::int64_t>(i - p.bytes);
        if (q == 0) {
            next = i;
            return -1;
        }
    }
    next = n;
    return -1;
}

// Candidate tests over whole vectors from index j on: each candidate's bytes at the text's two
// rarest places against their classes, the follower only where both agree and it has not yet
// been. They return the hit, or -1 with j at the first candidate left to the plain loop.
// Follows the candidates j + i of the set bits i that no earlier follow has passed; the hit, or
// -1 with `next` past every candidate followed.
template <typename P>
inline std::int64_t followBits(const unsigned char* buf, std::size_t n, std::size_t j,
                               std::uint64_t bits, const P& p, std::size_t& next) {
    std::size_t from = j;
    for (; bits != 0; bits &= bits - 1) {
        const std::size_t k = j + static_cast<std::size_t>(__builtin_ctzll(bits));
        if (k < from)
            continue;
        if (const std::int64_t hit = follow(buf, n, k, p, from); hit >= 0)
            return hit;
    }
    next = std::max(next, from);
    return -1;
}

#if defined(__x86_64__) || defined(__i386__)
#define KESTRINE_AVX2 __attribute__((target("avx2")))

struct Avx2Classes {
    __m256i oneMask, oneValue, twoMask, twoValue;
};

KESTRINE_AVX2 inline __m256i avx2Hits(const unsigned char* ones, const unsigned char* twos,
                                      const Avx2Classes& c) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ones));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(twos));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(x, c.oneMask), c.oneValue),
                            _mm256_cmpeq_epi8(_mm256_or_si256(y, c.twoMask), c.twoValue));
}

template <typename P>
KESTRINE_AVX2 std::int64_t scanAvx2(const unsigned char* buf, std::size_t n, std::size_t candidates,
                                    const P& p, std::size_t& j) {
    const unsigned char* ones = buf + p.oneAt;
    const unsigned char* twos = buf + p.twoAt;
    const Avx2Classes c{_mm256_set1_epi8(static_cast<char>(p.one.mask)),
                        _mm256_set1_epi8(static_cast<char>(p.one.value)),
                        _mm256_set1_epi8(static_cast<char>(p.two.mask)),
                        _mm256_set1_epi8(static_cast<char>(p.two.value))};
    while (j + 64 <= candidates) {
        const __m256i a = avx2Hits(ones + j, twos + j, c);
        const __m256i b = avx2Hits(ones + j + 32, twos + j + 32, c);
        std::size_t next = j + 64;
        if (!_mm256_testz_si256(_mm256_or_si256(a, b), _mm256_or_si256(a, b))) {
            std::uint64_t bits =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(a)) |
                (std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(b))} << 32);
            if (const std::int64_t hit = followBits(buf, n, j, bits, p, next); hit >= 0)
                return hit;
        }
        j = next;
    }
    return -1;
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

#if defined(__SSE2__)
template <typename P>
std::int64_t scanSse2(const unsigned char* buf, std::size_t n, std::size_t candidates, const P& p,
                      std::size_t& j) {
    const unsigned char* ones = buf + p.oneAt;
    const unsigned char* twos = buf + p.twoAt;
    const __m128i om = _mm_set1_epi8(static_cast<char>(p.one.mask));
    const __m128i ov = _mm_set1_epi8(static_cast<char>(p.one.value));
    const __m128i tm = _mm_set1_epi8(static_cast<char>(p.two.mask));
    const __m128i tv = _mm_set1_epi8(static_cast<char>(p.two.value));
    auto hits = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ones + at));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(twos + at));
        return _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(x, om), ov),
                             _mm_cmpeq_epi8(_mm_or_si128(y, tm), tv));
    };
    while (j + 32 <= candidates) {
        const __m128i a = hits(j), b = hits(j + 16);
        std::size_t next = j + 32;
        if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) {
            std::uint32_t bits = static_cast<std::uint32_t>(_mm_movemask_epi8(a)) |
                                 (static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16);
            if (const std::int64_t hit = followBits(buf, n, j, bits, p, next); hit >= 0)
                return hit;
        }
        j = next;
    }
    return -1;
}
#endif

// The first index k below `limit` and in [0, n - L] where the text is spelled by buf[k..k+L),
// or -1.
template <typename P>
std::int64_t scanBlock(const unsigned char* buf, std::size_t n, std::size_t limit, const P& p) {
    const std::size_t length = p.length();
    if (n < length)
        return -1;
    const std::size_t candidates = std::min(n - length + 1, limit);
    std::size_t j = 0;
    std::int64_t hit = -1;
#if defined(__x86_64__) || defined(__i386__)
    if (kHaveAvx2)
        hit = scanAvx2(buf, n, candidates, p, j);
#endif
#if defined(__SSE2__)
    if (hit < 0)
        hit = scanSse2(buf, n, candidates, p, j);
#endif
    const unsigned char* ones = buf + p.oneAt;
    const unsigned char* twos = buf + p.twoAt;
    while (hit < 0 && j < candidates) {
        if ((ones[j] | p.one.mask) != p.one.value || (twos[j] | p.two.mask) != p.two.value) {
            ++j;
            continue;
        }
        hit = follow(buf, n, j, p, j);
    }
    // The follower goes on to the end of the block: its first hit may lie past the limit.
    return hit >= 0 && static_cast<std::size_t>(hit) < candidates ? hit : -1;
}

// The forms a search looks for; either may be left out (nullptr).
struct Forms {
    const Pattern* single;
    const Utf8Pattern* utf8;
};

struct BlockHit {
    std::int64_t at = -1;
    bool utf8 = false;
};

// The first hit in a block at an index below `limit`, of either form; at one index, the
// single-byte form's.
BlockHit scanForms(const unsigned char* buf, std::size_t n, std::size_t limit, const Forms& f) {
    BlockHit hit;
    if (f.single)
        hit.at = scanBlock(buf, n, limit, *f.single);
    if (f.utf8)
        if (const std::int64_t u =
                scanBlock(buf, n, hit.at >= 0 ? static_cast<std::size_t>(hit.at) : limit, *f.utf8);
            u >= 0)
            hit = {u, true};
    return hit;
}

// The blocks of one search, numbered from 0 at its first position and read a batch of `depth`
// at a time, and how far the search still has to go.
struct Blocks {
    Platform& platform;
    int handle;
    Forms forms;
    Position first, step, readSize, fileSize, count;
    std::size_t depth;
    std::atomic<Position> nextBatch{0};
    // No batch from here on can change the outcome: an earlier one found a hit or the end.
    std::atomic<Position> decided{std::numeric_limits<Position>::max()};

    Position batches() const { return (count + Position(depth) - 1) / Position(depth); }
};

// A worker's first outcome: a hit, or the end of the file, in batch `batch`.
struct Finding {
    Position batch = std::numeric_limits<Position>::max();
    SearchResult result;
};

Finding decide(Blocks& b, Position batch, SearchResult result) {
    Position was = b.decided.load();
    while (batch < was && !b.decided.compare_exchange_weak(was, batch)) {
    }
    return {batch, result};
}

// Reads and scans batch after batch, in the order the blocks lie, until none is left that could
// change the outcome. `buffer` holds a batch. A block answers for the places from its start up
// to the next block's: a hit further on, in the overlap, is the next block's to find, so that
// one of the other form that begins earlier but ends past the block is not passed over.
Finding searchBatches(Blocks& b, unsigned char* buffer) {
    std::array<BlockRead, kBatchBlocks> reads;
    const auto readSize = static_cast<std::size_t>(b.readSize);
    const auto step = static_cast<std::size_t>(b.step);
    for (;;) {
        const Position batch = b.nextBatch.fetch_add(1);
        if (batch >= std::min(b.batches(), b.decided.load()))
            return {};
        const Position firstBlock = batch * Position(b.depth);
        const auto n =
            static_cast<std::size_t>(std::min<Position>(Position(b.depth), b.count - firstBlock));
        for (std::size_t i = 0; i < n; ++i)
            reads[i] = {b.first + (firstBlock + Position(i)) * b.step, buffer + i * readSize,
                        readSize, 0};
        b.platform.readBatch(b.handle, std::span(reads.data(), n));
        for (const BlockRead& r : std::span(reads.data(), n)) {
            // A failed read leaves its block without candidates; one that finds the end of the
            // file ends the search.
            if (r.got == 0)
                return decide(b, batch, {});
            if (r.got < 0)
                continue;
            const BlockHit k = scanForms(static_cast<const unsigned char*>(r.buffer),
                                         static_cast<std::size_t>(r.got), step, b.forms);
            if (k.at >= 0)
                return decide(b, batch,
                              r.offset + k.at > b.fileSize
                                  ? SearchResult{}
                                  : SearchResult{SearchOutcome::Found, r.offset + k.at, k.utf8});
        }
    }
}

// Up to `workers` threads take the batches in turn, each into its own buffer; the outcome is the
// first batch's that found anything, which every batch before it has been searched to know.
SearchResult searchBlocks(Blocks& b, unsigned workers) {
    const std::size_t batchBytes = b.depth * static_cast<std::size_t>(b.readSize);
    const auto helpers = static_cast<std::size_t>(
        std::max<Position>(std::min<Position>(workers, b.batches()) - 1, 0));
    // Every buffer is taken before any thread starts, so that a refusal leaves none running.
    std::vector<std::vector<unsigned char>> buffers(helpers + 1,
                                                    std::vector<unsigned char>(batchBytes));
    std::vector<Finding> found(helpers + 1);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t i = 1; i <= helpers; ++i) {
        try {
            threads.emplace_back(
                [&b, &buffers, &found, i] { found[i] = searchBatches(b, buffers[i].data()); });
        } catch (const std::system_error&) {
            break; // the threads already running and this one do the work
        }
    }
    found[0] = searchBatches(b, buffers[0].data());
    for (std::thread& t : threads)
        t.join();
    return std::min_element(found.begin(), found.end(),
                            [](const Finding& x, const Finding& y) { return x.batch < y.batch; })
        ->result;
}

// The characters besides the bytes' own that upper-case to a byte's character.
constexpr char16_t kOtherCases[] = {0x0131, 0x017F, 0x03BC, 0x039C, 0x0178};

} // namespace

char16_t searchUpper(char16_t c) {
    if (c <= 0xFF)
        return kByteUpper[c];
    switch (c) {
    case 0x0131: // dotless i
        return u'I';
    case 0x017F: // long s
        return u'S';
    case 0x03BC: // Greek mu, whose upper case the micro sign shares
        return 0x039C;
    default: // the rest, U+0178 and U+039C among them, upper-case to no byte's character
        return c;
    }
}

std::vector<char32_t> latin1SameCase(char32_t c) {
    std::vector<char32_t> same{c};
    if (c > 0xFFFF)
        return same;
    const char16_t upper = searchUpper(static_cast<char16_t>(c));
    for (char32_t b = 0; b < 256; ++b)
        if (b != c && searchUpper(static_cast<char16_t>(b)) == upper)
            same.push_back(b);
    for (char16_t other : kOtherCases)
        if (other != c && searchUpper(other) == upper)
            same.push_back(other);
    return same;
}

std::string utf8Of(std::u16string_view text) {
    std::u32string points;
    std::string out;
    if (codePoints(text, points))
        for (char32_t c : points)
            appendUtf8(out, c);
    return out;
}

SearchResult searchFile(Platform& platform, const std::string& fileName, Position fileSize,
                        Position start, const LastHit& last, std::u16string_view text,
                        const SameCase& sameCase) {
    if (text.empty())
        return {};
    // Closed when the search ends; nothing was written, so a failed close loses nothing.
    const Result<FileHandle> file = platform.openExclusive(fileName);
    if (!file)
        return {SearchOutcome::CannotOpen, 0};

    const Pattern single = makePattern(text);
    const Utf8Pattern utf8 = makeUtf8Pattern(text, sameCase);
    const Forms forms{single.possible ? &single : nullptr, utf8.possible ? &utf8 : nullptr};
    // Blocks overlap by the longer form's length.
    const auto length = static_cast<Position>(
        std::max(forms.single ? single.length() : 0, forms.utf8 ? utf8.length() : 0));
    const Position block = std::min(kSearchBlockSize, std::max<Position>(fileSize, 0));
    // A text that takes more than half a block would leave a step too small to get through a
    // large file (none at all from a full block on): such a block grows to hold the text.
    Position readSize = block, step = block - length;
    if (length * 2 > block) {
        readSize = length + block;
        step = std::max<Position>(block, 1);
    }

    Position pos = start;
    if (last.made && pos == last.position) {
        // Find next: continue behind the hit the cursor stands on, in the form it was found in.
        const std::size_t utf8Bytes = last.utf8 ? utf8Of(text).size() : 0;
        pos +=
            utf8Bytes > 0 ? static_cast<Position>(utf8Bytes) : static_cast<Position>(text.size());
    }
    // Blocks begin up to the file's size as it was measured, each read as far as its size
    // goes: a file that has since shrunk gives short blocks, one that has grown is searched a
    // block beyond, and a hit that begins past the measured size is not one the view can show.
    if ((!forms.single && !forms.utf8) || pos < 0 || pos > fileSize)
        return {};
    const Position count = (fileSize - pos) / step + 1;
    // A batch holds no more blocks than the search can need.
    const auto depth = static_cast<std::size_t>(
        std::clamp<Position>(std::min<Position>(kBatchBytes / readSize, count), 1, kBatchBlocks));
    Blocks blocks{platform, file->get(), forms, pos, step, readSize, fileSize, count, depth};
    return searchBlocks(blocks, platform.readersAtOnce());
}

} // namespace kestrine
