#include "core/Copy.h"

#include "core/Fields.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/Numbers.h"
#include "core/Report.h"
#include "core/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

namespace kestrine {

namespace {

// The system copies the range in chunks sized so that one takes about kChunkMs: the window
// answers between two chunks, also on a slow drive. The first chunk is small and untimed. Every
// chunk is a whole number of kLeastChunk, so that every chunk starts on a page of the
// destination: chunks that straddle pages cost the system a fifth of its speed.
constexpr std::int64_t kChunkMs = 20;
constexpr std::size_t kFirstChunk = std::size_t{256} << 10;
constexpr std::size_t kLeastChunk = std::size_t{64} << 10;
constexpr std::size_t kMostChunk = std::size_t{64} << 20;

// Moves the range inside the system, chunk by chunk, with the progress and a message pass after
// each; returns the bytes moved. It stops at the first chunk that moves nothing or fails, for
// whatever reason (the system cannot copy between these files, a fault, the source ended): the
// plain loop goes on from there and meets any real fault of the files itself, so a fault of the
// shortcut alone costs only speed and every fault is reported by the read or write it hits.
Position copyInSystem(Context& ctx, int source, int dest, Position start, Position bytes) {
    Platform& pf = ctx.platform;
    Position done = 0;
    std::size_t chunk = kFirstChunk;
    std::optional<std::int64_t> since; // when the chunk under way began
    while (done < bytes) {
        const auto want =
            static_cast<std::size_t>(std::min<Position>(Position(chunk), bytes - done));
        const Result<std::size_t> moved = pf.copyRange(source, start + done, dest, done, want);
        if (!moved || *moved == 0)
            break;
        done += static_cast<Position>(std::min(*moved, want));
        if (since) {
            const std::int64_t took = pf.nowMs() - *since;
            if (took < kChunkMs / 2)
                chunk = std::min(chunk * 2, kMostChunk);
            else if (took > kChunkMs)
                chunk = std::max(kLeastChunk, chunk * kChunkMs / static_cast<std::size_t>(took) /
                                                  kLeastChunk * kLeastChunk);
        }
        ctx.state.CopyProgress = static_cast<double>(done) / static_cast<double>(bytes);
        ctx.host.pumpEvents();
        since = pf.nowMs();
    }
    return done;
}

// Reads exactly `count` bytes; a source that ends early has shrunk since it was measured.
Result<void> readExactly(Platform& pf, int fd, char* buffer, std::size_t count) {
    const Result<std::size_t> got = readFull(pf, fd, buffer, count);
    if (!got)
        return got.failure();
    if (*got < count)
        return Failure{"it ended before the range was copied"};
    return {};
}

// A refusal of the checks, then the focus to the field concerned.
void refuse(Context& ctx, BoxKind kind, const std::string& text, Field focus) {
    kestrine::refuse(ctx, kind, text);
    ctx.host.focusField(focus);
}

// A range refusal also writes the bound into the field concerned.
void refuseRange(Context& ctx, const std::string& text, Field field, Position value) {
    kestrine::refuse(ctx, BoxKind::Warning, text);
    ctx.host.setFieldText(field, toDec(value));
    ctx.host.focusField(field);
}

// Start and length are in bounds; on refusal the bound goes into the field concerned.
bool checkRange(Context& ctx, Position start, Position length) {
    const Position size = ctx.state.SourceFileSize;
    // Negative values would seek before the file or copy a negative count.
    if (start < 0) {
        refuseRange(ctx, "Start position is negative.\nMinimum is 0", Field::StartDec, 0);
        return false;
    }
    if (start > size - 1) {
        const Position m = size - 1;
        refuseRange(ctx, "Start position is too large.\nMaximum is " + toDec(m), Field::StartDec,
                    m);
        return false;
    }
    if (length < 0) {
        refuseRange(ctx, "Offset is negative.\nMinimum is 0", Field::OffsetDec, 0);
        return false;
    }
    if (length > maxLength(size, start)) {
        const Position m = maxLength(size, start);
        refuseRange(ctx, "Offset is too large.\nMaximum is " + toDec(m), Field::OffsetDec, m);
        return false;
    }
    return true;
}

bool checkFreeSpace(Context& ctx, const std::string& dest, Position length) {
    const std::string folder = directoryPart(dest);
    const std::string drive = ctx.platform.mountPoint(folder);
    // A failed query counts as -1 free bytes.
    const std::int64_t free = ctx.platform.freeBytes(folder).valueOr(-1);
    // Room for the bytes that will be written, not for the rest of the source: a short cut
    // out of a huge image must fit on a drive that could not hold the whole image.
    const Position needed = length + 1;
    if (needed <= free)
        return true;
    const std::string text = "Not enough free disk space on drive " + drive + "\n" + "There is " +
                             FormatSize(ctx, free) + " free disk space.";
    refuseAndLog(ctx, BoxKind::Warning, text);
    return false;
}

void returnToIdle(Context& ctx) {
    ctx.host.setProgressTimerEnabled(false);
    ctx.host.setProgressPosition(0);
    ctx.host.repaintProgress();
    ctx.host.ToggleFormControls(true);
    ctx.host.setStatusText("");
    ctx.host.setTitle(ctx.state.StartupTitle);
}

// The copy proper, with the source already open. A failure's reason is the whole report.
Result<void> copyBytes(Context& ctx, int source, const std::string& src, const std::string& dst,
                       Position start, Position bytes) {
    Platform& pf = ctx.platform;
    Result<FileHandle> destFile = pf.createExclusive(dst);
    if (!destFile)
        return Failure{"The destination file " + dst + " cannot be created: " + destFile.why()};
    const int dest = destFile->get();

    const std::string readError = "The source file " + src + " cannot be read: ";
    const std::string writeError = "The destination file " + dst + " cannot be written: ";
    auto fail = [&](const std::string& text, const Result<void>& step) -> Result<void> {
        destFile->reset();
        // A partial copy is worse than none: take it away.
        (void)pf.deleteFile(dst);
        return Failure{text + step.why()};
    };

    if (Result<void> r = pf.seek(source, start); !r)
        return fail(readError, r);
    const Position moved = copyInSystem(ctx, source, dest, start, bytes);
    // The plain loop takes over at the first byte the system did not copy.
    if (moved > 0 && moved < bytes) {
        if (Result<void> r = pf.seek(source, start + moved); !r)
            return fail(readError, r);
        if (Result<void> r = pf.seek(dest, moved); !r)
            return fail(writeError, r);
    }
    const Position left = bytes - moved;
    // One buffer for the whole copy: memory does not grow with the range.
    auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(kBlockSize));
    for (std::int64_t i = 1; i <= left / kBlockSize; ++i) {
        if (Result<void> r = readExactly(pf, source, buffer.get(), kBlockSize); !r)
            return fail(readError, r);
        if (Result<void> r = writeAll(pf, dest, buffer.get(), kBlockSize); !r)
            return fail(writeError, r);
        ctx.state.CopyProgress =
            static_cast<double>(moved + i * kBlockSize) / static_cast<double>(bytes);
        ctx.host.pumpEvents();
    }
    const auto remainder = static_cast<std::size_t>(left % kBlockSize);
    if (remainder > 0) {
        if (Result<void> r = readExactly(pf, source, buffer.get(), remainder); !r)
            return fail(readError, r);
        if (Result<void> r = writeAll(pf, dest, buffer.get(), remainder); !r)
            return fail(writeError, r);
    }
    // The descriptor is gone even when the close fails, so this close is the last one.
    if (Result<void> r = destFile->close(); !r)
        return fail(writeError, r);
    return {};
}

} // namespace

void ChangeSourceFile(Context& ctx) {
    const std::string text = ctx.host.fieldText(Field::SourceFile);
    if (text.empty())
        return;
    ctx.state.SourceFileName = text;
    const Result<FileHandle> file = ctx.platform.openExclusive(text);
    if (!file) {
        // The console gets a plain line: the command line reports a missing file by itself.
        return tell(ctx, BoxKind::Error, "The source file " + text + " cannot be opened.");
    }
    ctx.state.SourceFileSize = ctx.platform.sizeOf(file->get()).valueOr(-1);
}

void RestoreRememberedFiles(Context& ctx, const RememberedFiles& files) {
    if (files.source) {
        if (!files.source->empty() && ctx.platform.fileExists(*files.source)) {
            ctx.host.setFieldText(Field::SourceFile, *files.source);
            ChangeSourceFile(ctx);
            AddToLog(ctx, "Source file is " + ctx.state.SourceFileName, false);
            AddToLog(ctx, "Source file is " + FormatSize(ctx, ctx.state.SourceFileSize), false);
        } else {
            ctx.host.setFieldText(Field::SourceFile, "");
            ChangeSourceFile(ctx);
        }
    }
    // The destination is taken as it stands: a new file is usual there.
    if (files.dest)
        ctx.host.setFieldText(Field::DestFile, *files.dest);
}

void ExecuteCopy(Context& ctx) {
    Host& host = ctx.host;
    Platform& pf = ctx.platform;
    const std::string src = host.fieldText(Field::SourceFile);
    const std::string dst = host.fieldText(Field::DestFile);

    if (trimmed(src).empty())
        return refuse(ctx, BoxKind::Error, "Source file not specified!", Field::SourceFile);
    if (!pf.fileExists(src))
        return refuse(ctx, BoxKind::Error, "Source file does not exist!", Field::SourceFile);
    if (trimmed(dst).empty())
        return refuse(ctx, BoxKind::Error, "Destination file not specified!", Field::DestFile);
    const std::string dir = directoryPart(dst);
    if (!dir.empty() && !pf.directoryExists(dir))
        return refuse(ctx, BoxKind::Error, "The path " + dir + " does not exist!", Field::DestFile);
    if (sameFileNames(pf, src, dst))
        return refuse(ctx, BoxKind::Error, "Source and destination files cannot be the same!",
                      Field::DestFile);

    // The old destination goes only once every check has passed, so a refused copy keeps it.
    bool deleteOld = false;
    if (pf.fileExists(dst) && canAskUser(ctx)) {
        if (host.messageBox(BoxKind::Confirm,
                            "Destination file already exists.\nDo you want to overwrite it?") !=
            Answer::Yes)
            return;
        deleteOld = true;
    }

    const std::string startText = host.fieldText(Field::StartDec);
    const std::string offsetText = host.fieldText(Field::OffsetDec);
    if (startText.empty())
        return refuse(ctx, BoxKind::Warning, "Start position not defined.", Field::StartDec);
    if (offsetText.empty())
        return refuse(ctx, BoxKind::Warning, "Offset not defined.", Field::OffsetDec);
    const auto start = parseNumber(startText);
    if (!start)
        return host.reportError(notANumberMessage(startText));
    const auto length = parseNumber(offsetText);
    if (!length)
        return host.reportError(notANumberMessage(offsetText));

    if (!checkRange(ctx, *start, *length))
        return;
    if (!checkFreeSpace(ctx, dst, *length))
        return;

    Result<FileHandle> source = pf.openExclusive(src);
    if (!source)
        return refuseAndLog(ctx, BoxKind::Error, "The source file " + src + " cannot be opened.");

    if (deleteOld && !pf.deleteFile(dst))
        return refuse(ctx, BoxKind::Error, "Could not delete the file " + dst, Field::DestFile);

    AddToLog(ctx, "Copying started...");
    host.ToggleFormControls(false);
    const std::int64_t startMs = pf.nowMs();
    host.setProgressPosition(0);
    host.setProgressTimerEnabled(true);

    const Position bytes = byteCount(*length);
    const Result<void> copied = copyBytes(ctx, source->get(), src, dst, *start, bytes);
    source->reset();
    returnToIdle(ctx);
    if (!copied)
        return refuseAndLog(ctx, BoxKind::Error, copied.why());

    AddToLog(ctx, FormatSize(ctx, bytes) + " written to file " + dst);
    const double seconds = std::fabs(static_cast<double>(pf.nowMs() - startMs)) / 1000.0;
    AddToLog(ctx, "Elapsed Time: " + formatSeconds(seconds, pf.thousandsSeparator()) + " seconds.");
    AddToLog(ctx, "Copying finished.", true);
}

void ProgressTimer(Context& ctx) {
    // Ties to even, as the bar's own rounding does.
    const double percent = std::nearbyint(ctx.state.CopyProgress * 100.0);
    ctx.host.setProgressPosition(static_cast<int>(percent));
    const std::string status = toDec(ctx.host.progressPosition()) + "%";
    ctx.host.setStatusText(status);
    ctx.host.setTitle(status + " " + ctx.state.StartupTitle);
}

} // namespace kestrine
