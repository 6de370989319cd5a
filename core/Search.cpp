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

// Which upper cases some byte takes (all lie below U+0400), so that checking a long text costs
// one look-up per character rather than a pass over the 256 bytes.
constexpr std::size_t kUpperRange = 0x400;
constexpr std::array<bool, kUpperRange> makeTaken() {
    std::array<bool, kUpperRange> taken{};
    for (char16_t u : kByteUpper)
        taken[u] = true;
    return taken;
}
constexpr std::array<bool, kUpperRange> kTaken = makeTaken();

// The text upper-cased, with the byte values that can stand for its first and last characters
// (each character is taken by at most two bytes, its two case forms).
struct Pattern {
    std::u16string upper;
    std::size_t firstAt = 0, lastAt = 0;
    unsigned char first[2] = {0, 0}, last[2] = {0, 0};
    bool possible = true; // false: some character of the text no byte can take
};

// The byte values whose character upper-cases to `u`, both slots filled; false when none does.
bool bytesFor(char16_t u, unsigned char (&out)[2]) {
    int found = 0;
    for (unsigned b = 0; b < 256 && found < 2; ++b)
        if (kByteUpper[b] == u)
            out[found++] = static_cast<unsigned char>(b);
    if (found == 1)
        out[1] = out[0];
    return found > 0;
}

Pattern makePattern(std::u16string_view text) {
    Pattern p;
    p.upper.reserve(text.size());
    for (char16_t c : text)
        p.upper.push_back(searchUpper(c));
    for (char16_t u : p.upper) {
        if (u >= kUpperRange || !kTaken[u]) {
            p.possible = false;
            return p;
        }
    }
    p.lastAt = p.upper.size() - 1;
    bytesFor(p.upper[p.firstAt], p.first);
    bytesFor(p.upper[p.lastAt], p.last);
    return p;
}

bool matchesAt(const unsigned char* at, const std::u16string& upper) {
    for (std::size_t i = 0; i < upper.size(); ++i)
        if (kByteUpper[at[i]] != upper[i])
            return false;
    return true;
}

// Candidate tests over whole vectors from index j on: each candidate's first and last byte
// against their two case forms, the full comparison only where both agree. They return the hit,
// or -1 with j at the first candidate left to the plain loop.
#if defined(__x86_64__) || defined(__i386__)
#define KESTRINE_AVX2 __attribute__((target("avx2")))

struct Avx2Forms {
    __m256i f0, f1, l0, l1;
};

KESTRINE_AVX2 inline __m256i avx2Hits(const unsigned char* firsts, const unsigned char* lasts,
                                      const Avx2Forms& c) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(firsts));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lasts));
    const __m256i fx = _mm256_or_si256(_mm256_cmpeq_epi8(x, c.f0), _mm256_cmpeq_epi8(x, c.f1));
    const __m256i ly = _mm256_or_si256(_mm256_cmpeq_epi8(y, c.l0), _mm256_cmpeq_epi8(y, c.l1));
    return _mm256_and_si256(fx, ly);
}

KESTRINE_AVX2 std::int64_t scanAvx2(const unsigned char* buf, std::size_t candidates,
                                    const Pattern& p, std::size_t& j) {
    const unsigned char* firsts = buf + p.firstAt;
    const unsigned char* lasts = buf + p.lastAt;
    const Avx2Forms c{_mm256_set1_epi8(static_cast<char>(p.first[0])),
                      _mm256_set1_epi8(static_cast<char>(p.first[1])),
                      _mm256_set1_epi8(static_cast<char>(p.last[0])),
                      _mm256_set1_epi8(static_cast<char>(p.last[1]))};
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
    const __m128i f0 = _mm_set1_epi8(static_cast<char>(p.first[0]));
    const __m128i f1 = _mm_set1_epi8(static_cast<char>(p.first[1]));
    const __m128i l0 = _mm_set1_epi8(static_cast<char>(p.last[0]));
    const __m128i l1 = _mm_set1_epi8(static_cast<char>(p.last[1]));
    auto hits = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(firsts + at));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lasts + at));
        const __m128i fx = _mm_or_si128(_mm_cmpeq_epi8(x, f0), _mm_cmpeq_epi8(x, f1));
        const __m128i ly = _mm_or_si128(_mm_cmpeq_epi8(y, l0), _mm_cmpeq_epi8(y, l1));
        return _mm_and_si128(fx, ly);
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
        const unsigned char f = firsts[j], l = lasts[j];
        if ((f == p.first[0] || f == p.first[1]) && (l == p.last[0] || l == p.last[1]) &&
            matchesAt(buf + j, p.upper))
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
    std::string why;
    // Closed when the search ends; nothing was written, so a failed close loses nothing.
    const FileHandle file(platform, platform.openExclusive(fileName, why));
    if (!file.isOpen())
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
    SearchResult result;
    if (pattern.possible) {
        std::vector<unsigned char> buffer(static_cast<std::size_t>(readSize));
        // The buffer holds the file's bytes [held, heldEnd), and the file stands at heldEnd: the
        // overlap of the next block is moved to the front instead of read again, so a block
        // costs one read and no seek.
        Position held = 0, heldEnd = 0;
        // Blocks never reach past the file's size, so a hit lies wholly inside the file.
        while (pos >= 0 && pos <= fileSize && fileSize - pos >= length) {
            const Position want = std::min(readSize, fileSize - pos);
            Position have = 0;
            if (held <= pos && pos < heldEnd) {
                have = heldEnd - pos;
                std::memmove(buffer.data(), buffer.data() + (pos - held),
                             static_cast<std::size_t>(have));
            } else if (!platform.seek(file.get(), pos, why)) {
                have = -1;
            }
            held = heldEnd = 0;
            if (have >= 0 && have < want) {
                const std::int64_t got = platform.read(file.get(), buffer.data() + have,
                                                       static_cast<std::size_t>(want - have), why);
                have = got == want - have ? want : -1;
            }
            // A failed or short read leaves a block without candidates, as a failed seek does.
            if (have == want) {
                const std::int64_t k =
                    scanBlock(buffer.data(), static_cast<std::size_t>(want), pattern);
                if (k >= 0) {
                    result = {SearchOutcome::Found, pos + k};
                    break;
                }
                held = pos;
                heldEnd = pos + want;
            }
            pos += step;
        }
    }
    return result;
}

} // namespace kestrine
