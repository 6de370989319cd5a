#include "core/CopyEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace kestrine {

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The new file's own name while it needs one: hidden, beside the destination, unique.
std::string hiddenTemplate(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".kestrine-XXXXXX";
}

// Chunks and blocks are sized so that one takes about kChunkMs: the window answers between two,
// also on a slow drive. The first is untimed. Every size is a whole number of kLeastChunk, so
// that every chunk starts on a page of the destination: chunks that straddle pages cost the
// system a fifth of its speed.
constexpr std::int64_t kChunkMs = 20;
constexpr std::size_t kLeastChunk = std::size_t{64} << 10;

struct Pace {
    std::size_t size;
    std::size_t least;
    std::size_t most;
    std::optional<std::int64_t> since; // when the chunk under way began

    // Takes the time the last chunk took into the next one's size.
    void next(Platform& pf) {
        const std::int64_t now = pf.nowMs();
        if (since) {
            const std::int64_t took = now - *since;
            if (took < kChunkMs / 2)
                size = std::min(size * 2, most);
            else if (took > kChunkMs)
                size = std::max(least, size * kChunkMs / static_cast<std::size_t>(took) /
                                           kLeastChunk * kLeastChunk);
        }
        since = now;
    }
};

// The system's copy works page cache to page cache. The read and write loop, used where the
// system cannot copy between the two files, moves 128 KiB a block through one buffer for the
// whole copy, so memory stays flat: larger writes were measured far slower into ext4 (1 MiB
// blocks took 7 times as long), smaller ones cost calls. A drive so slow that a block takes
// longer than a chunk should gets blocks half that size, so the window still answers.
constexpr std::size_t kFirstChunk = std::size_t{256} << 10;
constexpr std::size_t kMostChunk = std::size_t{64} << 20;
constexpr std::size_t kBlock = std::size_t{128} << 10;

// The buffer starts on a page: the system copies a page-aligned buffer to and from the page
// cache about a sixth faster than one that starts where the allocator puts it.
constexpr std::align_val_t kPage{4096};
struct PageFree {
    void operator()(char* p) const { ::operator delete[](p, kPage); }
};
using PageBuffer = std::unique_ptr<char[], PageFree>;

// Reads exactly `count` bytes; a source that ends early has shrunk since it was measured.
Result<void> readExactly(Platform& pf, int fd, char* buffer, std::size_t count) {
    const Result<std::size_t> got = readFull(pf, fd, buffer, count);
    if (!got)
        return got.failure();
    if (*got < count)
        return Failure{"it ended before the range was copied"};
    return {};
}

// One copy under way: the runs of data of the range, each moved by the system or by the loop.
class Copier {
public:
    Copier(Platform& pf, const CopyRequest& rq, int dest, CopyObserver& observer)
        : pf_(pf), rq_(rq), dest_(dest), observer_(observer),
          readError_("The source file " + rq.sourceName + " cannot be read: "),
          writeError_("The destination file " + rq.destName + " cannot be written: ") {}

    Result<CopyOutcome> run() {
        Position pos = 0;  // offset in the range up to which all is done
        Position tail = 0; // the end of the last byte written
        bool askHoles = true;
        while (pos < rq_.bytes) {
            Position from = pos, to = rq_.bytes;
            if (askHoles) {
                const auto run = pf_.dataRun(rq_.source, rq_.start + pos, rq_.start + rq_.bytes);
                // A file system that cannot tell its holes is copied whole.
                if (run) {
                    from = run->first - rq_.start;
                    to = run->second - rq_.start;
                } else {
                    askHoles = false;
                }
            }
            if (from > pos) {
                pos = from; // a hole is done at once
                observer_.progressed(static_cast<double>(pos) / static_cast<double>(rq_.bytes));
            }
            if (from >= rq_.bytes)
                break;
            const Result<CopyOutcome> moved = copyData(from, to);
            if (!moved || *moved == CopyOutcome::Stopped)
                return moved;
            pos = tail = to;
        }
        if (tail < rq_.bytes) {
            // The range ends in a hole, or in the end of a source that shrank since it was
            // measured: the second must not pass for a hole.
            const Result<Position> size = pf_.sizeOf(rq_.source);
            if (!size)
                return Failure{readError_ + size.why()};
            if (*size < rq_.start + rq_.bytes)
                return Failure{readError_ + "it ended before the range was copied"};
            if (Result<void> r = pf_.setSize(dest_, rq_.bytes); !r)
                return Failure{writeError_ + r.why()};
        }
        return CopyOutcome::Copied;
    }

private:
    void progressed(Position at) {
        observer_.progressed(static_cast<double>(at) / static_cast<double>(rq_.bytes));
    }

    // Copies [from, to) of the range to the same place of the destination.
    Result<CopyOutcome> copyData(Position from, Position to) {
        Position at = from;
        // The system copies chunk by chunk until it cannot (these files, a fault, the source
        // ended); the loop goes on from there and meets any real fault itself, so a fault of
        // the shortcut costs only speed and every fault is reported by the read or write it hits.
        while (systemCopy_ && at < to) {
            if (observer_.stopRequested())
                return CopyOutcome::Stopped;
            const auto want =
                static_cast<std::size_t>(std::min<Position>(Position(chunk_.size), to - at));
            const Result<std::size_t> moved =
                pf_.copyRange(rq_.source, rq_.start + at, dest_, at, want);
            if (!moved || *moved == 0) {
                systemCopy_ = false;
                break;
            }
            at += static_cast<Position>(std::min(*moved, want));
            progressed(at);
            if (at < to)
                chunk_.next(pf_);
        }
        if (at == to)
            return CopyOutcome::Copied;
        if (Result<void> r = pf_.seek(rq_.source, rq_.start + at); !r)
            return Failure{readError_ + r.why()};
        if (Result<void> r = pf_.seek(dest_, at); !r)
            return Failure{writeError_ + r.why()};
        if (!buffer_)
            buffer_ = PageBuffer(static_cast<char*>(::operator new[](kBlock, kPage)));
        while (at < to) {
            if (observer_.stopRequested())
                return CopyOutcome::Stopped;
            const auto count =
                static_cast<std::size_t>(std::min<Position>(Position(block_.size), to - at));
            if (Result<void> r = readExactly(pf_, rq_.source, buffer_.get(), count); !r)
                return Failure{readError_ + r.why()};
            if (Result<void> r = writeAll(pf_, dest_, buffer_.get(), count); !r)
                return Failure{writeError_ + r.why()};
            at += static_cast<Position>(count);
            progressed(at);
            if (at < to)
                block_.next(pf_);
        }
        return CopyOutcome::Copied;
    }

    Platform& pf_;
    const CopyRequest& rq_;
    int dest_;
    CopyObserver& observer_;
    const std::string readError_;
    const std::string writeError_;
    bool systemCopy_ = true;
    Pace chunk_{kFirstChunk, kLeastChunk, kMostChunk, {}};
    Pace block_{kBlock, kLeastChunk, kBlock, {}};
    PageBuffer buffer_;
};

} // namespace

NewDestination::NewDestination(NewDestination&& other) noexcept
    : pf_(other.pf_), target_(std::move(other.target_)), file_(std::move(other.file_)),
      hidden_(std::move(other.hidden_)), older_(other.older_),
      olderLock_(std::move(other.olderLock_)), done_(std::exchange(other.done_, true)),
      replacementRefused_(other.replacementRefused_) {}

NewDestination::~NewDestination() {
    if (pf_ && !done_)
        discard();
}

void NewDestination::discard() {
    file_.handle.reset();
    if (file_.named)
        (void)pf_->deleteFile(hidden_);
    done_ = true;
}

Result<NewDestination> NewDestination::begin(Platform& platform, const std::string& dest,
                                             OlderFile older) {
    // A link stays a link: the file it names is the one replaced.
    Result<std::string> target = platform.resolveLinks(dest);
    if (!target)
        return target.failure();
    NewDestination out(platform, *target);
    Result<std::optional<FileStatus>> status = platform.regularFileStatus(out.target_);
    if (!status)
        return status.failure();
    out.older_ = *status;
    if (out.older_) {
        // Another program that holds the older file keeps it.
        Result<FileHandle> lock = platform.openExclusive(out.target_);
        if (!lock)
            return lock.failure();
        out.olderLock_ = std::move(*lock);
        if (older == OlderFile::Overwrite && !platform.mayModify(out.target_, *out.older_))
            return Failure{std::strerror(EACCES)};
    }
    out.hidden_ = hiddenTemplate(out.target_);
    Result<NewFile> file = platform.createBeside(folderOf(out.target_), out.hidden_);
    if (!file)
        return file.failure();
    out.file_ = std::move(*file);
    const std::optional<FileStatus> mode =
        older == OlderFile::Overwrite ? out.older_ : std::optional<FileStatus>();
    if (Result<void> r = platform.copyPermissions(out.handle(), mode); !r)
        return r.failure();
    return out;
}

Result<void> NewDestination::publish() {
    Platform& pf = *pf_;
    if (!file_.named) {
        if (!older_) {
            // A new name appears only with every byte behind it.
            std::string name = target_;
            if (Result<void> r = pf.linkFile(handle(), name, false); !r)
                return r;
            done_ = true;
            olderLock_.reset();
            if (Result<void> r = file_.handle.close(); !r) {
                (void)pf.deleteFile(target_);
                return r;
            }
            return {};
        }
        hidden_ = hiddenTemplate(target_);
        if (Result<void> r = pf.linkFile(handle(), hidden_, true); !r)
            return r;
        file_.named = true;
    }
    if (Result<void> r = file_.handle.close(); !r) {
        discard();
        return r;
    }
    if (Result<void> r = pf.renameFile(hidden_, target_); !r) {
        replacementRefused_ = older_.has_value();
        discard();
        return r;
    }
    done_ = true;
    olderLock_.reset();
    return {};
}

Result<CopyOutcome> copyRange(Platform& platform, const CopyRequest& request, NewDestination& dest,
                              CopyObserver& observer) {
    return Copier(platform, request, dest.handle(), observer).run();
}

Result<Position> dataBytes(Platform& platform, int handle, Position start, Position bytes) {
    Position data = 0;
    for (Position pos = start; pos < start + bytes;) {
        const auto run = platform.dataRun(handle, pos, start + bytes);
        if (!run)
            return run.failure();
        data += run->second - run->first;
        if (run->second <= pos)
            break;
        pos = run->second;
    }
    return data;
}

} // namespace kestrine
