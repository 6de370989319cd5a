#pragma once
// Moving the bytes of a range into a new destination, the same for the window and the command
// line: no field, box or log line in here. The new bytes go into a file beside the destination
// that gets the destination's name only once it is whole and closed, so a failed or stopped
// copy leaves the older destination exactly as it was and no file behind.

#include "platform/Platform.h"

#include <optional>
#include <string>

namespace kestrine {

// How a replaced destination's permissions carry over.
enum class OlderFile {
    Replace,  // the new file is a new file: the usual mode of a new file
    Overwrite // as if the older file had been written over: its mode, and it must be writable
};

// The file being written beside the destination. Dropped without publish(), it vanishes.
class NewDestination {
public:
    NewDestination(NewDestination&& other) noexcept;
    NewDestination& operator=(NewDestination&&) = delete;
    ~NewDestination();

    // Makes the new file for `dest` (links followed to the file they name). A destination held
    // by another program, anything but a regular file, or (for Overwrite) a file the user may
    // not change is refused with the reason.
    static Result<NewDestination> begin(Platform& platform, const std::string& dest,
                                        OlderFile older);

    int handle() const { return file_.handle.get(); }
    bool replaces() const { return older_.has_value(); }
    // Closes the new file and gives it the destination's name, in place of any older file.
    // On failure the older file is as it was and the new one is gone.
    Result<void> publish();
    // The rename over the older file was refused (publish failed after the copy was whole).
    bool replacementRefused() const { return replacementRefused_; }

private:
    NewDestination(Platform& platform, std::string target) : pf_(&platform), target_(target) {}
    void discard();

    Platform* pf_;
    std::string target_;
    NewFile file_;
    std::string hidden_; // the new file's name while it has one of its own
    std::optional<FileStatus> older_;
    FileHandle olderLock_;
    bool done_ = false;
    bool replacementRefused_ = false;
};

struct CopyRequest {
    int source = -1;        // open for reading
    std::string sourceName; // as the user wrote them, for the reports
    std::string destName;
    Position start = 0;
    Position bytes = 0;
};

// What the copy tells its host as it goes.
class CopyObserver {
public:
    virtual ~CopyObserver() = default;
    // The share of the range done; the host may let the window answer here.
    virtual void progressed(double share) = 0;
    // Asked between two chunks; true stops the copy.
    virtual bool stopRequested() = 0;
};

enum class CopyOutcome { Copied, Stopped };

// Copies the range into `dest`, holes left as holes, and publishes it. A failure's reason is
// the whole report ("The source file … cannot be read: …").
Result<CopyOutcome> copyRange(Platform& platform, const CopyRequest& request, NewDestination& dest,
                              CopyObserver& observer);

// The bytes of data in the range of an open file: the range less its holes.
Result<Position> dataBytes(Platform& platform, int handle, Position start, Position bytes);

} // namespace kestrine
