#pragma once
// A broken property ends the run at once, so libFuzzer keeps the input as a finding and the
// replay test fails.

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace kestrine::fuzz {

inline void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken property: %s\n", what);
        std::abort();
    }
}

// The input cut at NUL bytes: several texts out of one input, any of them empty.
inline std::vector<std::string_view> splitAtNul(std::string_view data) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        std::size_t at = data.find('\0', from);
        if (at == std::string_view::npos) {
            parts.push_back(data.substr(from));
            return parts;
        }
        parts.push_back(data.substr(from, at - from));
        from = at + 1;
    }
}

} // namespace kestrine::fuzz
