#include "core/Copy.h"

#include "core/CopyEngine.h"
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

bool checkFreeSpace(Context& ctx, const std::string& src, const std::string& dest, Position start,
                    Position length) {
    const std::string folder = directoryPart(dest);
    const std::string drive = ctx.platform.mountPoint(folder);
    // A failed query counts as -1 free bytes.
    const std::int64_t free = ctx.platform.freeBytes(folder).valueOr(-1);
    // Room for the bytes that will be written, not for the rest of the source: a short cut
    // out of a huge image must fit on a drive that could not hold the whole image.
    // A source with holes needs room for its data only: the holes stay holes.
    Position needed = byteCount(length);
    if (Result<FileHandle> file = ctx.platform.openShared(src))
        needed = dataBytes(ctx.platform, file->get(), start, needed).valueOr(needed);
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

// The copy's progress goes to the timer's share, and the window answers after each chunk.
class HostObserver : public CopyObserver {
public:
    explicit HostObserver(Context& ctx) : ctx_(ctx) {}
    void progressed(double share) override {
        ctx_.state.CopyProgress = share;
        ctx_.host.pumpEvents();
    }
    bool stopRequested() override { return ctx_.host.copyStopRequested(); }

private:
    Context& ctx_;
};

} // namespace

Result<void> TakeOverSourceFile(Context& ctx) {
    const std::string text = ctx.host.fieldText(Field::SourceFile);
    if (text.empty())
        return {};
    ctx.state.SourceFileName = text;
    const Result<FileHandle> file = ctx.platform.openExclusive(text);
    if (!file) {
        // The console gets a plain line: the command line reports a missing file by itself.
        tell(ctx, BoxKind::Error, "The source file " + text + " cannot be opened.");
        return file.failure();
    }
    ctx.state.SourceFileSize = ctx.platform.sizeOf(file->get()).valueOr(-1);
    return {};
}

void ChangeSourceFile(Context& ctx) {
    (void)TakeOverSourceFile(ctx);
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
    if (!checkFreeSpace(ctx, src, dst, *start, *length))
        return;

    Result<FileHandle> source = pf.openExclusive(src);
    if (!source)
        return refuseAndLog(ctx, BoxKind::Error, "The source file " + src + " cannot be opened.");

    // The older file stays until the new one is whole; the user who agreed to replace it
    // learns here when it cannot be replaced.
    std::optional<NewDestination> dest;
    const std::string notCreated = "The destination file " + dst + " cannot be created: ";
    if (deleteOld) {
        Result<NewDestination> made = NewDestination::begin(pf, dst, OlderFile::Replace);
        if (!made)
            return refuse(ctx, BoxKind::Error, "Could not delete the file " + dst, Field::DestFile);
        dest.emplace(std::move(*made));
    }

    AddToLog(ctx, "Copying started...");
    host.ToggleFormControls(false);
    const std::int64_t startMs = pf.nowMs();
    host.setProgressPosition(0);
    host.setProgressTimerEnabled(true);

    const Position bytes = byteCount(*length);
    if (!dest) {
        // A file written over on the console keeps what an overwrite keeps: its mode.
        Result<NewDestination> made = NewDestination::begin(
            pf, dst, canAskUser(ctx) ? OlderFile::Replace : OlderFile::Overwrite);
        if (!made) {
            source->reset();
            returnToIdle(ctx);
            return refuseAndLog(ctx, BoxKind::Error, notCreated + made.why());
        }
        dest.emplace(std::move(*made));
    }
    HostObserver observer(ctx);
    const Result<CopyOutcome> copied =
        copyRange(pf, {source->get(), src, dst, *start, bytes}, *dest, observer);
    source->reset();
    if (!copied || *copied == CopyOutcome::Stopped) {
        dest.reset(); // gone before the window is told
        returnToIdle(ctx);
        if (!copied)
            refuseAndLog(ctx, BoxKind::Error, copied.why());
        return;
    }
    const Result<void> published = dest->publish();
    returnToIdle(ctx);
    if (!published) {
        if (dest->replacementRefused() && canAskUser(ctx))
            return refuse(ctx, BoxKind::Error, "Could not delete the file " + dst, Field::DestFile);
        return refuseAndLog(ctx, BoxKind::Error,
                            "The destination file " + dst +
                                " cannot be written: " + published.why());
    }

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
