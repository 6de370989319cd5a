#pragma once

#include "core/AppState.h"

namespace kestrine {

// Runs the program with its window (no parameters) or the usage text with a display (other
// counts); returns the exit code.
int runWindowMode(int argc, char** argv, AppState& state);

// A desktop is there to show windows on: an X or Wayland display and no headless platform.
bool displayAvailable();

} // namespace kestrine
