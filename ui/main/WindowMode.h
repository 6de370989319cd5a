#pragma once

#include "core/AppState.h"

#include <string>

namespace kestrine {

// Runs the program with its window (no parameters) or the usage text with a display (other
// counts); returns the exit code.
int runWindowMode(int argc, char** argv, AppState& state);

// Shows an error box for a command-line run that could not report on the console, when a
// display exists; otherwise does nothing.
void showConsoleError(int argc, char** argv, const std::string& text);

// What a window run without any display says on standard error.
std::string noDisplayText();

// Chooses the event loop before the application object exists: the copy lets window messages
// run after every block, and Qt's own dispatcher makes that pass far cheaper than the GLib one.
void prepareEventLoop();

} // namespace kestrine
