#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace kestrine {

// The length value L of a range stands for L + 1 bytes; this is the one place that says so.
constexpr Position byteCount(Position lengthValue) {
    return lengthValue + 1;
}

constexpr std::int64_t kBlockSize = 8192;

} // namespace kestrine
