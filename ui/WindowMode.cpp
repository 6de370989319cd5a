#include "ui/WindowMode.h"

namespace kestrine {

int runWindowMode(int, char**, AppState& state) { return state.ExitCode; }

} // namespace kestrine
