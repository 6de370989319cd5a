#pragma once
// The command-line run: four parameters checked, one copy, console lines, an exit code.

#include "core/Context.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// The usage text, lines separated by "\n", no line break after the last.
std::string usageText();

// The answer to "--help": the command's forms and parameters, aligned, lines separated by "\n".
std::string helpText();

// What "--help" (helpText) or "--version" (the version line) alone answers on standard output,
// without a window; nothing for any other parameter.
std::optional<std::string> optionText(std::string_view parameter);

// The report when standard output cannot be had.
std::string consoleErrorText();
// The standard-error line when console lines could not be written, with the system's reason.
std::string consoleLostText(const std::string& why);

// The notice line of the banner.
std::string noticeText();

// Runs command-line mode with exactly four parameters; sets state.ExitCode.
void RunCommandLine(Context& ctx, const std::vector<std::string>& params);

// Initial state of a run: exit code, error flag, the folders of its files, start-up title.
void initState(AppState& state, Platform& platform);

} // namespace kestrine
