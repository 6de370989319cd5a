#pragma once
// The command-line run: four parameters checked, one copy, console lines, an exit code.

#include "core/Context.h"

#include <string>
#include <vector>

namespace kestrine {

// The usage text, lines separated by "\n", no line break after the last.
std::string usageText();

// The report when standard output cannot be had.
std::string consoleErrorText();

// The notice line of the banner.
std::string noticeText();

// Runs command-line mode with exactly four parameters; sets state.ExitCode.
void RunCommandLine(Context& ctx, const std::vector<std::string>& params);

// Initial state of a run: exit code, error flag, program folder, start-up title.
void initState(AppState& state, Platform& platform);

} // namespace kestrine
