#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace kestrine {

// The length value L of a range stands for L + 1 bytes; this is the one place that says so.
constexpr Position byteCount(Position lengthValue) {
    return lengthValue + 1;
}

// The hex viewer's last search hit (nLastFoundPos) in this run of the program. `made` tells a
// hit at position 0 from no hit at all.
struct LastHit {
    bool made = false;
    Position position = 0;
};

constexpr std::int64_t kBlockSize = 8192;

} // namespace kestrine
