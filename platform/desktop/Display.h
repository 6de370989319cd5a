#pragma once
// Whether a desktop is there to show windows on, asked before any window toolkit starts.

#include <string>

namespace kestrine {

// An X or Wayland display that accepts a connection, and no headless platform chosen.
bool displayAvailable();

// The display variables that are set, as "DISPLAY=:1, WAYLAND_DISPLAY=wayland-0"; empty when
// neither is.
std::string displayVariables();

} // namespace kestrine
