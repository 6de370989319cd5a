#include "core/Copy.h"

#include "core/Fields.h"
#include "core/Log.h"
#include "core/Numbers.h"
#include "core/Report.h"
#include "core/Text.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace kestrine {

namespace {

// Moves exactly `count` bytes; a read that ends early means the source shrank.
bool readFull(Platform& pf, int fd, char* buffer, std::size_t count, std::string& why) {
    std::size_t got = 0;
    while (got < count) {
        std::int64_t n = pf.read(fd, buffer + got, count - got, why);
        if (n < 0)
            return false;
        if (n == 0) {
            why = "it ended before the range was copied";
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFull(Platform& pf, int fd, const char* buffer, std::size_t count, std::string& why) {
    std::size_t put = 0;
    while (put < count) {
        std::int64_t n = pf.write(fd, buffer + put, count - put, why);
        if (n < 0)
            return false;
        if (n == 0) {
            why = "nothing could be written";
            return false;
        }
        put += static_cast<std::size_t>(n);
    }
    return true;
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
    const std::int64_t free = ctx.platform.freeBytes(folder);
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

// The copy proper, with the source already open. Returns the failure text, empty on success.
std::string copyBytes(Context& ctx, int source, const std::string& src, const std::string& dst,
                      Position start, Position bytes) {
    Platform& pf = ctx.platform;
    std::string why;
    // One buffer for the whole copy: memory does not grow with the range.
    auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(kBlockSize));

    FileHandle destFile(pf, pf.createExclusive(dst, why));
    if (!destFile.isOpen())
        return "The destination file " + dst + " cannot be created: " + why;
    const int dest = destFile.get();

    auto fail = [&](const std::string& text) {
        std::string ignored;
        destFile.reset();
        // A partial copy is worse than none: take it away.
        pf.deleteFile(dst, ignored);
        return text;
    };
    const std::string readError = "The source file " + src + " cannot be read: ";
    const std::string writeError = "The destination file " + dst + " cannot be written: ";

    if (!pf.seek(source, start, why))
        return fail(readError + why);
    if (bytes >= kBlockSize) {
        const std::int64_t blocks = bytes / kBlockSize;
        for (std::int64_t i = 1; i <= blocks; ++i) {
            if (!readFull(pf, source, buffer.get(), kBlockSize, why))
                return fail(readError + why);
            if (!writeFull(pf, dest, buffer.get(), kBlockSize, why))
                return fail(writeError + why);
            ctx.state.CopyProgress =
                static_cast<double>(i * kBlockSize) / static_cast<double>(bytes);
            ctx.host.pumpEvents();
        }
    }
    const auto remainder = static_cast<std::size_t>(bytes % kBlockSize);
    if (remainder > 0) {
        if (!readFull(pf, source, buffer.get(), remainder, why))
            return fail(readError + why);
        if (!writeFull(pf, dest, buffer.get(), remainder, why))
            return fail(writeError + why);
    }
    if (!destFile.close(why)) {
        std::string ignored;
        pf.deleteFile(dst, ignored);
        return writeError + why;
    }
    return {};
}

} // namespace

void ChangeSourceFile(Context& ctx) {
    const std::string text = ctx.host.fieldText(Field::SourceFile);
    if (text.empty())
        return;
    ctx.state.SourceFileName = text;
    std::string why;
    const FileHandle file(ctx.platform, ctx.platform.openExclusive(text, why));
    if (!file.isOpen()) {
        // The console gets a plain line: the command line reports a missing file by itself.
        const std::string message = "The source file " + text + " cannot be opened.";
        if (canAskUser(ctx))
            ctx.host.messageBox(BoxKind::Error, message);
        else
            AddToLog(ctx, message);
        return;
    }
    ctx.state.SourceFileSize = ctx.platform.sizeOf(file.get());
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
    // Another name for the same file would be truncated to nothing when the copy creates it.
    if (lowerAZ(trimmed(src)) == lowerAZ(trimmed(dst)) || pf.sameFile(src, dst))
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

    std::string why;
    FileHandle source(pf, pf.openExclusive(src, why));
    if (!source.isOpen())
        return refuseAndLog(ctx, BoxKind::Error, "The source file " + src + " cannot be opened.");

    if (deleteOld && !pf.deleteFile(dst, why))
        return refuse(ctx, BoxKind::Error, "Could not delete the file " + dst, Field::DestFile);

    AddToLog(ctx, "Copying started...");
    host.ToggleFormControls(false);
    const std::int64_t startMs = pf.nowMs();
    host.setProgressPosition(0);
    host.setProgressTimerEnabled(true);

    const Position bytes = byteCount(*length);
    const std::string failure = copyBytes(ctx, source.get(), src, dst, *start, bytes);
    source.reset();
    returnToIdle(ctx);
    if (!failure.empty())
        return refuseAndLog(ctx, BoxKind::Error, failure);

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
