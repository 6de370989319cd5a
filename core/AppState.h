#pragma once
// The process-wide values of one run, owned by the program entry and passed to what needs them.

#include "core/Settings.h"
#include "core/Types.h"

#include <string>

namespace kestrine {

struct AppState {
    kestrine::Settings Settings;
    // The executable's folder with a trailing separator.
    std::string ProgramFolder;

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
