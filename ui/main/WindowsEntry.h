#pragma once
// What the executable finds in the window library, which it loads only to show a window or a
// box, so the command line starts without the window toolkit.

namespace kestrine {

inline constexpr const char* kWindowLibrary = "libkestrine-windows.so";

// No parameters: the window mode; other counts: the usage box where a display exists. Returns
// the exit status.
inline constexpr const char* kRunWindowsEntry = "kestrine_run_windows";
using RunWindowsEntry = int (*)(int argc, char** argv);

// The box of a command-line run that could not report on the console, where a display exists.
inline constexpr const char* kShowConsoleErrorEntry = "kestrine_show_console_error";
using ShowConsoleErrorEntry = void (*)(int argc, char** argv, const char* text);

} // namespace kestrine
