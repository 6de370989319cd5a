#pragma once
// Reading and writing "Kestrine.ini" beside the executable.

#include "core/Context.h"

#include <cstdint>

namespace kestrine {

// Fills ctx.state.Settings from the file and restores the remembered files into the fields.
void ReadSettings(Context& ctx);

// Scope 1 writes the state group, 2 the state and then the preference group, below 1 nothing.
// A refused write is reported through ctx.host.reportError("Unable to write to <path>");
// returns false then.
bool WriteSettings(Context& ctx, std::int32_t Scope);

} // namespace kestrine
