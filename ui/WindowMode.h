#pragma once

#include "core/AppState.h"

namespace kestrine {

// Runs the program with its window (no parameters) or the usage text with a display (other
// counts); returns the exit code.
int runWindowMode(int argc, char** argv, AppState& state);

} // namespace kestrine
