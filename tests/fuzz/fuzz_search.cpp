// The text search over a small file held in memory, read both ways the search can read: block by
// block through seek and read (in pieces, now and then), and gathered into vectored reads by the
// system's own platform from a file in memory. Properties: whatever the file, text, start, last
// hit and the size the search is told (the file may have shrunk or grown since), the search
// ends and gives what plain loops over the file as it is give: the first place at or after
// the start (behind the last hit when the start is on it) and at or before the told size where
// every byte's upper case equals the text's, or where the bytes spell the text in UTF-8, a hit at
// position 0 and a text longer than a block included; it reads the file about once, not once per
// candidate; a file that cannot be opened is said so, and the file is closed again.

#include "FuzzCheck.h"

#include "core/Search.h"
#include "platform/PlatformPosix.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace kestrine;
using kestrine::fuzz::require;

namespace {

// One file in memory, read through the calls the search makes.
class MemoryFile : public PosixPlatform {
public:
    std::vector<std::uint8_t> bytes;
    bool refuseOpen = false;
    bool inPieces = false; // reads stop short of the count asked, as reads may
    int open = 0;
    std::int64_t bytesRead = 0;

    Result<FileHandle> openExclusive(const std::string&) override {
        if (refuseOpen)
            return Failure{"The file is in use by another program"};
        ++open;
        at_ = 0;
        return FileHandle(*this, kHandle);
    }
    Result<void> seek(int handle, Position position) override {
        require(handle == kHandle && open == 1, "seek on the open file");
        if (position < 0 || position > static_cast<Position>(bytes.size()))
            return Failure{"Invalid argument"};
        at_ = position;
        return {};
    }
    Result<std::size_t> read(int handle, void* buffer, std::size_t count) override {
        require(handle == kHandle && open == 1, "read from the open file");
        const std::size_t asked = inPieces ? std::min<std::size_t>(count, 1 + count % 4093) : count;
        const auto n = std::min<std::int64_t>(static_cast<std::int64_t>(asked),
                                              static_cast<std::int64_t>(bytes.size()) - at_);
        if (n > 0) // an empty file has no bytes to copy from
            std::memcpy(buffer, bytes.data() + at_, static_cast<std::size_t>(n));
        at_ += n;
        bytesRead += n;
        return static_cast<std::size_t>(n);
    }
    // The handle is no descriptor: the batch is read through seek and read.
    void readBatch(int handle, std::span<BlockRead> reads) override {
        readBatchPlain(*this, handle, reads);
    }
    unsigned readersAtOnce() override { return 1; } // one file position
    Result<void> close(int handle) override {
        require(handle == kHandle && open == 1, "the open file closed once");
        --open;
        return {};
    }
    Result<Position> sizeOf(int) override { return static_cast<Position>(bytes.size()); }

private:
    static constexpr int kHandle = 5;
    std::int64_t at_ = 0;
};

// The same bytes in a file in memory, read through the system's own platform, whose batches of
// overlapping blocks become vectored reads.
class GatheredFile : public PosixPlatform {
public:
    int open = 0;
    std::atomic<std::int64_t> bytesRead = 0; // from every reader at once

    explicit GatheredFile(const std::vector<std::uint8_t>& bytes)
        : fd_(::memfd_create("kestrine-fuzz-search", MFD_CLOEXEC)) {
        require(fd_ >= 0, "a file in memory can be made");
        require(::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()),
                "the file in memory takes the bytes");
    }
    GatheredFile(const GatheredFile&) = delete;
    GatheredFile& operator=(const GatheredFile&) = delete;
    ~GatheredFile() override { ::close(fd_); }

    Result<FileHandle> openExclusive(const std::string&) override {
        Result<FileHandle> file =
            PosixPlatform::openExclusive("/proc/self/fd/" + std::to_string(fd_));
        open += file.ok();
        return file;
    }
    void readBatch(int handle, std::span<BlockRead> reads) override {
        require(open == 1, "read from the open file");
        PosixPlatform::readBatch(handle, reads);
        for (const BlockRead& r : reads)
            bytesRead += std::max<std::int64_t>(r.got, 0);
    }
    Result<void> close(int handle) override {
        require(open == 1, "the open file closed once");
        --open;
        return PosixPlatform::close(handle);
    }

private:
    int fd_;
};

// Characters outside Latin-1 whose case the search has to know about, or that no byte takes.
constexpr char16_t kOthers[] = {0x0131, 0x017F, 0x03BC, 0x039C, 0x0178, 0x212A, 0x1E9E, 0x0100};

struct Case {
    Position start = 0;
    LastHit last;
    bool refuseOpen = false;
    bool inPieces = false;
    Position told = 0; // the size the search is told
    std::u16string text;
    std::vector<std::uint8_t> file;
};

std::uint16_t take16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// A length from one byte: mostly small, now and then one about the block size, so that hits
// cross a block's end and texts outgrow a block without making every run that long.
std::size_t lengthFrom(std::uint8_t b) {
    constexpr std::size_t kNearBlock[] = {10200, 10236, 10239, 10240, 10241, 10244, 10300, 12000};
    return b < 248 ? b : kNearBlock[b - 248];
}

// The size the search is told, from 3 bits: the file's own, or one it had before it shrank or
// grew by a byte, half of itself, a block or more.
Position toldSize(unsigned how, Position size) {
    switch (how) {
    case 1:
        return size + 1;
    case 2:
        return size + 10240;
    case 3:
        return 2 * size + 5;
    case 4:
        return std::max<Position>(size - 1, 0);
    case 5:
        return size / 2;
    case 6:
        return 0;
    case 7:
        return std::max<Position>(size - 10240, 0);
    default:
        return size;
    }
}

// Header: start (2 bytes), flags (bit 0 last hit made, 1 last hit at the start, 2 open refused,
// 3 reads in pieces, 4 the last hit in UTF-8, 5 to 7 the told size), last hit (2), filler run
// length (1) and byte, text length (1; 0 takes the text as given, else the given characters, or the
// filler byte, repeated), count of text bytes (1); then the text bytes (0x7F n: a character of
// kOthers), then the file's bytes, which follow the filler run.
Case readCase(const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[9] = {};
    const std::size_t taken = std::min(size, sizeof head);
    std::memcpy(head, data, taken);
    data += taken;
    size -= taken;
    const std::size_t textBytes = std::min<std::size_t>(head[8], size);
    Case c;
    c.file.assign(lengthFrom(head[5]), head[6]);
    c.file.insert(c.file.end(), data + textBytes, data + size);
    // Starts up to a little past the end; the last hit anywhere near them.
    const std::size_t places = c.file.size() + 17;
    c.start = static_cast<Position>(take16(head) % places);
    c.last = {(head[2] & 1) != 0, static_cast<Position>(take16(head + 3) % places),
              (head[2] & 16) != 0};
    if (head[2] & 2)
        c.last.position = c.start;
    c.refuseOpen = (head[2] & 4) != 0;
    c.inPieces = (head[2] & 8) != 0;
    c.told = toldSize(head[2] >> 5, static_cast<Position>(c.file.size()));

    std::u16string given;
    for (std::size_t i = 0; i < textBytes; ++i) {
        if (data[i] == 0x7F && i + 1 < textBytes)
            given.push_back(kOthers[data[++i] % std::size(kOthers)]);
        else
            given.push_back(data[i]);
    }
    c.text = given; // nothing at all: the empty text
    if (const std::size_t length = lengthFrom(head[7]); length != 0) {
        if (given.empty())
            given.push_back(head[6]);
        c.text.clear();
        for (std::size_t i = 0; i < length; ++i)
            c.text.push_back(given[i % given.size()]);
    }
    return c;
}

// The first place at or after `from` and at or before the told size where the file's bytes
// spell the text one byte a character, every byte's upper case equal to the character's.
std::optional<Position> singleByteHit(const Case& c, Position from) {
    const auto length = static_cast<Position>(c.text.size());
    // Upper-cased once, so that the candidates compare as plain arrays.
    std::u16string file, text;
    for (std::uint8_t b : c.file)
        file.push_back(searchUpper(b));
    for (char16_t ch : c.text)
        text.push_back(searchUpper(ch));
    const auto size = static_cast<Position>(file.size());
    for (Position j = from; j <= c.told && j + length <= size; ++j)
        if (file.compare(static_cast<std::size_t>(j), text.size(), text) == 0)
            return j;
    return std::nullopt;
}

// The same in UTF-8: each character spelled as itself or as a character of the same case and
// the same UTF-8 length; none for an ASCII text (its single-byte form) or a lone surrogate.
std::optional<Position> utf8Hit(const Case& c, Position from) {
    std::vector<std::vector<std::string>> spellings;
    bool beyondAscii = false;
    for (std::size_t i = 0; i < c.text.size(); ++i) {
        const std::u16string_view one(c.text.data() + i, 1);
        const std::string own = utf8Of(one);
        if (own.empty())
            return std::nullopt;
        beyondAscii = beyondAscii || c.text[i] >= 0x80;
        std::vector<std::string> forms{own};
        for (char32_t other : latin1SameCase(c.text[i])) {
            const std::u16string otherText(1, static_cast<char16_t>(other));
            if (const std::string form = utf8Of(otherText); form.size() == own.size())
                forms.push_back(form);
        }
        spellings.push_back(forms);
    }
    if (!beyondAscii)
        return std::nullopt;
    const auto size = static_cast<Position>(c.file.size());
    for (Position j = from; j <= c.told && j < size; ++j) {
        auto at = static_cast<std::size_t>(j);
        bool all = true;
        for (const auto& forms : spellings) {
            const std::size_t width = forms[0].size();
            all = at + width <= c.file.size() &&
                  std::any_of(forms.begin(), forms.end(), [&](const std::string& form) {
                      return std::equal(
                          form.begin(), form.end(), c.file.begin() + static_cast<long>(at),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
                  });
            if (!all)
                break;
            at += width;
        }
        if (all)
            return j;
    }
    return std::nullopt;
}

struct Expected {
    Position position;
    bool utf8;
};

std::optional<Expected> reference(const Case& c) {
    if (c.text.empty())
        return std::nullopt;
    Position from = c.start;
    if (c.last.made && from == c.last.position) {
        const std::string bytes = c.last.utf8 ? utf8Of(c.text) : std::string();
        from += bytes.empty() ? static_cast<Position>(c.text.size())
                              : static_cast<Position>(bytes.size());
    }
    const std::optional<Position> single = singleByteHit(c, from);
    const std::optional<Position> utf8 = utf8Hit(c, from);
    if (utf8 && (!single || *utf8 < *single))
        return Expected{*utf8, true};
    if (single)
        return Expected{*single, false};
    return std::nullopt;
}

// Checks one search's outcome against the plain loop.
void check(const Case& c, const SearchResult& result, std::int64_t bytesRead) {
    const std::optional<Expected> expected = reference(c);
    require(result.outcome != SearchOutcome::CannotOpen, "the file opens");
    require((result.outcome == SearchOutcome::Found) == expected.has_value(),
            "found exactly when the plain loops find");
    if (expected) {
        require(result.position == expected->position, "the first hit at or after the start");
        require(result.utf8 == expected->utf8, "in the form that spells it there");
    }
    // Blocks overlap by the text's length: each byte is read about once, never once per place.
    const auto size = static_cast<Position>(c.file.size());
    require(bytesRead <= 2 * size + static_cast<Position>(c.text.size()) + kSearchBlockSize,
            "the file is read about once");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Case c = readCase(data, size);
    MemoryFile platform;
    platform.bytes = c.file;
    platform.refuseOpen = c.refuseOpen;
    platform.inPieces = c.inPieces;
    const SearchResult result = searchFile(platform, "source.bin", c.told, c.start, c.last, c.text);
    require(platform.open == 0, "the file is closed again");

    if (c.refuseOpen) {
        // An empty text does nothing, not even the open.
        require(result.outcome ==
                    (c.text.empty() ? SearchOutcome::NotFound : SearchOutcome::CannotOpen),
                "a file that cannot be opened is reported");
        return 0;
    }
    check(c, result, platform.bytesRead);

    GatheredFile gathered(c.file);
    check(c, searchFile(gathered, "source.bin", c.told, c.start, c.last, c.text),
          gathered.bytesRead);
    require(gathered.open == 0, "the file in memory is closed again");
    return 0;
}
