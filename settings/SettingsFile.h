#pragma once
// Reading and writing "Kestrine.ini" beside the executable.

#include "core/Context.h"

#include <cstdint>
#include <string>

namespace kestrine {

class ProfileIO;

inline constexpr const char* kSettingsFileName = "Kestrine.ini";
inline constexpr const char* kSettingsSection = "Kestrine";

// ProgramFolder + "Kestrine.ini".
std::string settingsFilePath(const AppState& state);

// Fills ctx.state.Settings from the file and restores the remembered files into the fields.
void ReadSettings(Context& ctx);

// Scope 1 writes the state group, 2 the state and then the preference group, below 1 nothing.
// A refused write is reported through ctx.host.reportError("Unable to write to <path>");
// returns false then.
bool WriteSettings(Context& ctx, std::int32_t Scope);

// The same through other file operations (tests fail single steps with them).
void ReadSettings(Context& ctx, ProfileIO& io);
bool WriteSettings(Context& ctx, std::int32_t Scope, ProfileIO& io);

} // namespace kestrine
