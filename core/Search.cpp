#include "core/Search.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <system_error>
#include <thread>
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
    // border[i]: the length of the longest proper prefix of code[0..i] that also ends it.
    std::vector<std::uint32_t> border(length, 0);
    for (std::size_t i = 1, k = 0; i < length; ++i) {
        while (k > 0 && p.code[i] != p.code[k])
            k = border[k - 1];
        if (p.code[i] == p.code[k])
            ++k;
        border[i] = static_cast<std::uint32_t>(k);
    }
    // Skipping the prefixes followed by the very character that failed spares a long periodic
    // text a walk down all its periods at each mismatch.
    p.fallback.assign(length, 0);
    for (std::size_t q = 1; q < length; ++q) {
        const std::uint32_t k = border[q - 1];
        p.fallback[q] = p.code[k] == p.code[q] ? p.fallback[k] : k;
    }
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

// Candidate tests over whole vectors from index j on: each candidate's bytes at the text's two
// rarest places against their classes, the follower only where both agree and it has not yet
// been. They return the hit, or -1 with j at the first candidate left to the plain loop.
// Follows the candidates j + i of the set bits i that no earlier follow has passed; the hit, or
// -1 with `next` past every candidate followed.
inline std::int64_t followBits(const unsigned char* buf, std::size_t n, std::size_t j,
                               std::uint64_t bits, const Pattern& p, std::size_t& next) {
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

KESTRINE_AVX2 std::int64_t scanAvx2(const unsigned char* buf, std::size_t n, std::size_t candidates,
                                    const Pattern& p, std::size_t& j) {
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
std::int64_t scanSse2(const unsigned char* buf, std::size_t n, std::size_t candidates,
                      const Pattern& p, std::size_t& j) {
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

// The first index k in [0, n - L] where the text is spelled by buf[k..k+L), or -1.
std::int64_t scanBlock(const unsigned char* buf, std::size_t n, const Pattern& p) {
    const std::size_t length = p.code.size();
    if (n < length)
        return -1;
    const std::size_t candidates = n - length + 1;
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
    if (hit >= 0)
        return hit;
    const unsigned char* ones = buf + p.oneAt;
    const unsigned char* twos = buf + p.twoAt;
    while (j < candidates) {
        if ((ones[j] | p.one.mask) != p.one.value || (twos[j] | p.two.mask) != p.two.value) {
            ++j;
            continue;
        }
        if (const std::int64_t k = follow(buf, n, j, p, j); k >= 0)
            return k;
    }
    return -1;
}

// The blocks of one search, numbered from 0 at its first position and read a batch of `depth`
// at a time, and how far the search still has to go.
struct Blocks {
    Platform& platform;
    int handle;
    const Pattern& pattern;
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
// change the outcome. `buffer` holds a batch.
Finding searchBatches(Blocks& b, unsigned char* buffer) {
    std::array<BlockRead, kBatchBlocks> reads;
    const auto readSize = static_cast<std::size_t>(b.readSize);
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
            const std::int64_t k = scanBlock(static_cast<const unsigned char*>(r.buffer),
                                             static_cast<std::size_t>(r.got), b.pattern);
            if (k >= 0)
                return decide(b, batch,
                              r.offset + k > b.fileSize
                                  ? SearchResult{}
                                  : SearchResult{SearchOutcome::Found, r.offset + k});
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

SearchResult searchFile(Platform& platform, const std::string& fileName, Position fileSize,
                        Position start, const LastHit& last, std::u16string_view text) {
    if (text.empty())
        return {};
    // Closed when the search ends; nothing was written, so a failed close loses nothing.
    const Result<FileHandle> file = platform.openExclusive(fileName);
    if (!file)
        return {SearchOutcome::CannotOpen, 0};

    const Pattern pattern = makePattern(text);
    const auto length = static_cast<Position>(text.size());
    const Position block = std::min(kSearchBlockSize, std::max<Position>(fileSize, 0));
    // A text that takes more than half a block would leave a step too small to get through a
    // large file (none at all from a full block on): such a block grows to hold the text.
    Position readSize = block, step = block - length;
    if (length * 2 > block) {
        readSize = length + block;
        step = std::max<Position>(block, 1);
    }

    Position pos = start;
    if (last.made && pos == last.position)
        pos += length; // find next: continue behind the hit the cursor stands on
    // Blocks begin up to the file's size as it was measured, each read as far as its size
    // goes: a file that has since shrunk gives short blocks, one that has grown is searched a
    // block beyond, and a hit that begins past the measured size is not one the view can show.
    if (!pattern.possible || pos < 0 || pos > fileSize)
        return {};
    const Position count = (fileSize - pos) / step + 1;
    // A batch holds no more blocks than the search can need.
    const auto depth = static_cast<std::size_t>(
        std::clamp<Position>(std::min<Position>(kBatchBytes / readSize, count), 1, kBatchBlocks));
    Blocks blocks{platform, file->get(), pattern, pos, step, readSize, fileSize, count, depth};
    return searchBlocks(blocks, platform.readersAtOnce());
}

} // namespace kestrine
