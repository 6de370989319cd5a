#pragma once
// The process-wide values of one run, owned by the program entry and passed to what needs them.

#include "core/Settings.h"
#include "core/Types.h"

#include <string>

namespace kestrine {

struct AppState {
    kestrine::Settings Settings;
    // Where Kestrine.ini is kept and Kestrine.chm written, each with a trailing separator: the
    // executable's folder, or for an installed program the user's XDG folders.
    std::string ProgramFolder;
    std::string HelpFolder;

    // The source as last taken over, and its size when it was last opened.
    std::string SourceFileName;
    Position SourceFileSize = 0;

    // Console lines are written while this is set (command-line mode).
    bool ConsoleAttached = false;
    bool CommandLineError = false;
    // Share of the bytes written by the block loop, read by the progress timer.
    double CopyProgress = 0.0;
    std::string StartupTitle = "Kestrine";
    // The hex viewer's last search hit; only a hit changes it, it lasts for the whole run.
    LastHit LastFound;

    int ExitCode = 0;
};

} // namespace kestrine
