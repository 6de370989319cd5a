#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace kestrine {

// The length value L of a range stands for L + 1 bytes; this is the one place that says so.
constexpr Position byteCount(Position lengthValue) {
    return lengthValue + 1;
}

// The hex viewer's last search hit (nLastFoundPos) in this run of the program. `made` tells a
// hit at position 0 from no hit at all; `utf8` that the hit spelled the text in UTF-8, so that
// the next search continues behind its UTF-8 bytes.
struct LastHit {
    bool made = false;
    Position position = 0;
    bool utf8 = false;
};

constexpr std::int64_t kBlockSize = 8192;

} // namespace kestrine
