#pragma once

#include <cstdint>

namespace kestrine {

// A byte position in a file, or a length value (see byteCount).
using Position = std::int64_t;

// The length value L of a range stands for L + 1 bytes; this is the one place that says so.
constexpr Position byteCount(Position lengthValue) {
    return lengthValue + 1;
}

constexpr std::int64_t kBlockSize = 8192;

} // namespace kestrine
