#include "core/Search.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
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

// The text upper-cased, with the classes of its first and last characters for the filter.
struct Pattern {
    std::u16string upper;
    std::size_t firstAt = 0, lastAt = 0;
    ByteClass first, last;
    bool possible = true; // false: some character of the text no byte can take
};

Pattern makePattern(std::u16string_view text) {
    Pattern p;
    p.upper.reserve(text.size());
    for (char16_t c : text)
        p.upper.push_back(searchUpper(c));
    for (char16_t u : p.upper) {
        if (u >= kUpperRange || kTakers[u].count == 0) {
            p.possible = false;
            return p;
        }
    }
    p.lastAt = p.upper.size() - 1;
    p.first = classOf(p.upper[p.firstAt]);
    p.last = classOf(p.upper[p.lastAt]);
    return p;
}

bool matchesAt(const unsigned char* at, const std::u16string& upper) {
    for (std::size_t i = 0; i < upper.size(); ++i)
        if (kByteUpper[at[i]] != upper[i])
            return false;
    return true;
}

// Candidate tests over whole vectors from index j on: each candidate's first and last byte
// against their classes, the full comparison only where both agree. They return the hit, or -1
// with j at the first candidate left to the plain loop.
#if defined(__x86_64__) || defined(__i386__)
#define KESTRINE_AVX2 __attribute__((target("avx2")))

struct Avx2Classes {
    __m256i firstMask, firstValue, lastMask, lastValue;
};

KESTRINE_AVX2 inline __m256i avx2Hits(const unsigned char* firsts, const unsigned char* lasts,
                                      const Avx2Classes& c) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(firsts));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lasts));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(x, c.firstMask), c.firstValue),
                            _mm256_cmpeq_epi8(_mm256_or_si256(y, c.lastMask), c.lastValue));
}

KESTRINE_AVX2 std::int64_t scanAvx2(const unsigned char* buf, std::size_t candidates,
                                    const Pattern& p, std::size_t& j) {
    const unsigned char* firsts = buf + p.firstAt;
    const unsigned char* lasts = buf + p.lastAt;
    const Avx2Classes c{_mm256_set1_epi8(static_cast<char>(p.first.mask)),
                        _mm256_set1_epi8(static_cast<char>(p.first.value)),
                        _mm256_set1_epi8(static_cast<char>(p.last.mask)),
                        _mm256_set1_epi8(static_cast<char>(p.last.value))};
    for (; j + 64 <= candidates; j += 64) {
        const __m256i a = avx2Hits(firsts + j, lasts + j, c);
        const __m256i b = avx2Hits(firsts + j + 32, lasts + j + 32, c);
        if (_mm256_testz_si256(_mm256_or_si256(a, b), _mm256_or_si256(a, b)))
            continue;
        std::uint64_t bits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(a)) |
            (std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(b))} << 32);
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t k = j + static_cast<std::size_t>(__builtin_ctzll(bits));
            if (matchesAt(buf + k, p.upper))
                return static_cast<std::int64_t>(k);
        }
    }
    return -1;
}

const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

#if defined(__SSE2__)
std::int64_t scanSse2(const unsigned char* buf, std::size_t candidates, const Pattern& p,
                      std::size_t& j) {
    const unsigned char* firsts = buf + p.firstAt;
    const unsigned char* lasts = buf + p.lastAt;
    const __m128i fm = _mm_set1_epi8(static_cast<char>(p.first.mask));
    const __m128i fv = _mm_set1_epi8(static_cast<char>(p.first.value));
    const __m128i lm = _mm_set1_epi8(static_cast<char>(p.last.mask));
    const __m128i lv = _mm_set1_epi8(static_cast<char>(p.last.value));
    auto hits = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(firsts + at));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lasts + at));
        return _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(x, fm), fv),
                             _mm_cmpeq_epi8(_mm_or_si128(y, lm), lv));
    };
    for (; j + 32 <= candidates; j += 32) {
        const __m128i a = hits(j), b = hits(j + 16);
        if (_mm_movemask_epi8(_mm_or_si128(a, b)) == 0)
            continue;
        std::uint32_t bits = static_cast<std::uint32_t>(_mm_movemask_epi8(a)) |
                             (static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16);
        for (; bits != 0; bits &= bits - 1) {
            const std::size_t k = j + static_cast<std::size_t>(__builtin_ctz(bits));
            if (matchesAt(buf + k, p.upper))
                return static_cast<std::int64_t>(k);
        }
    }
    return -1;
}
#endif

// The first index k in [0, n - L] where the text is spelled by buf[k..k+L), or -1.
std::int64_t scanBlock(const unsigned char* buf, std::size_t n, const Pattern& p) {
    const std::size_t length = p.upper.size();
    if (n < length)
        return -1;
    const std::size_t candidates = n - length + 1;
    std::size_t j = 0;
    std::int64_t hit = -1;
#if defined(__x86_64__) || defined(__i386__)
    if (kHaveAvx2)
        hit = scanAvx2(buf, candidates, p, j);
#endif
#if defined(__SSE2__)
    if (hit < 0)
        hit = scanSse2(buf, candidates, p, j);
#endif
    if (hit >= 0)
        return hit;
    const unsigned char* firsts = buf + p.firstAt;
    const unsigned char* lasts = buf + p.lastAt;
    for (; j < candidates; ++j) {
        if ((firsts[j] | p.first.mask) == p.first.value &&
            (lasts[j] | p.last.mask) == p.last.value && matchesAt(buf + j, p.upper))
            return static_cast<std::int64_t>(j);
    }
    return -1;
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
    // Blocks never reach past the file's size, so a hit lies wholly inside the file.
    const auto blockFits = [&](Position at) {
        return at >= 0 && at <= fileSize && fileSize - at >= length;
    };
    if (!pattern.possible || !blockFits(pos))
        return {};
    // Blocks are read a batch at a time into one buffer taken for the whole search; a
    // batch holds no more blocks than the search can need.
    const Position blocksLeft = (fileSize - length - pos) / step + 1;
    const auto depth = static_cast<std::size_t>(std::clamp<Position>(
        std::min<Position>(kBatchBytes / readSize, blocksLeft), 1, kBatchBlocks));
    std::vector<unsigned char> buffer(depth * static_cast<std::size_t>(readSize));
    std::vector<BlockRead> reads;
    reads.reserve(depth);
    while (blockFits(pos)) {
        reads.clear();
        for (; reads.size() < depth && blockFits(pos); pos += step)
            reads.push_back({pos, buffer.data() + reads.size() * std::size_t(readSize),
                             static_cast<std::size_t>(std::min(readSize, fileSize - pos)), 0});
        platform.readBatch(file->get(), reads);
        // A failed or short read leaves its block without candidates.
        for (const BlockRead& r : reads) {
            if (r.got != static_cast<std::int64_t>(r.count))
                continue;
            const std::int64_t k =
                scanBlock(static_cast<const unsigned char*>(r.buffer), r.count, pattern);
            if (k >= 0)
                return {SearchOutcome::Found, r.offset + k};
        }
    }
    return {};
}

} // namespace kestrine
