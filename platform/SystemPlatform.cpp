// The process-wide platform: the POSIX calls, with a batch of reads gathered into vectored
// reads. A scan reads a file in blocks of a few KiB, each overlapping the one before; a call
// per block costs more than the reading itself on a machine where calls are dear.

#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/uio.h>
#include <unistd.h>

namespace kestrine {

namespace {

// Reads of one vectored read at most.
constexpr std::size_t kRunLength = 64;

FileOffset endOf(const BlockRead& r) {
    return r.offset + static_cast<FileOffset>(r.count);
}

// Reads a run whose reads each begin inside (or right at the end of) the one before and reach
// further: the bytes of the whole stretch once, each read's new part straight into its buffer,
// then each overlap copied over from the buffer before. Returns false when the file could not
// be read, having changed no `got`.
bool readRun(int handle, std::span<BlockRead> run) {
    std::array<iovec, kRunLength> parts;
    std::size_t partCount = 0;
    for (std::size_t k = 0; k < run.size(); ++k) {
        const std::size_t skip =
            k == 0 ? 0 : static_cast<std::size_t>(endOf(run[k - 1]) - run[k].offset);
        if (run[k].count > skip)
            parts[partCount++] = {static_cast<char*>(run[k].buffer) + skip, run[k].count - skip};
    }
    FileOffset have = run.front().offset; // the stretch is read up to here
    std::size_t next = 0;
    while (next < partCount) {
        const ssize_t n = ::preadv(handle, parts.data() + next, static_cast<int>(partCount - next),
                                   static_cast<off_t>(have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the file ends here
        have += n;
        // Skip the parts now full; a part half filled goes on from where it stopped.
        auto left = static_cast<std::size_t>(n);
        while (next < partCount && left >= parts[next].iov_len)
            left -= parts[next++].iov_len;
        if (left > 0) {
            parts[next].iov_base = static_cast<char*>(parts[next].iov_base) + left;
            parts[next].iov_len -= left;
        }
    }
    for (std::size_t k = 0; k < run.size(); ++k) {
        BlockRead& r = run[k];
        const FileOffset got = std::clamp<FileOffset>(have - r.offset, 0, FileOffset(r.count));
        if (k > 0) {
            const FileOffset overlap = std::min(endOf(run[k - 1]) - r.offset, got);
            std::copy_n(static_cast<const char*>(run[k - 1].buffer) +
                            (r.offset - run[k - 1].offset),
                        overlap, static_cast<char*>(r.buffer));
        }
        r.got = got;
    }
    return true;
}

class SystemPlatform final : public Platform {
public:
    void readBatch(int handle, std::span<BlockRead> reads) override {
        for (std::size_t i = 0; i < reads.size();) {
            std::size_t j = i + 1;
            while (j < reads.size() && j - i < kRunLength &&
                   reads[j].offset >= reads[j - 1].offset &&
                   reads[j].offset <= endOf(reads[j - 1]) && endOf(reads[j]) >= endOf(reads[j - 1]))
                ++j;
            const auto run = reads.subspan(i, j - i);
            // A failure is told apart read by read, so that only the blocks it hits are lost.
            if (!readRun(handle, run))
                Platform::readBatch(handle, run);
            i = j;
        }
    }
};

} // namespace

Platform& Platform::system() {
    static SystemPlatform instance;
    return instance;
}

} // namespace kestrine
