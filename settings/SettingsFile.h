#pragma once
// Reading and writing "Kestrine.ini" beside the executable.

#include "core/Context.h"

#include <string>

namespace kestrine {

inline constexpr const char* kSettingsFileName = "Kestrine.ini";
inline constexpr const char* kSettingsSection = "Kestrine";

// ProgramFolder + "Kestrine.ini".
std::string settingsFilePath(const AppState& state);

struct StoredSettings {
    Settings settings;
    RememberedFiles remembered;
};

// The values of the file, absent keys and unreadable numbers as their defaults. The default
// position centres a window of `window` size on a desktop of `desktop` size. Never fails.
StoredSettings readSettingsFile(const std::string& path, Platform& platform, Size desktop,
                                Size window);

// Fills ctx.state.Settings from the file and returns the remembered files, which start-up
// restores into the fields (RestoreRememberedFiles).
RememberedFiles ReadSettings(Context& ctx);

// State writes the state group, StateAndPreferences the state and then the preference group,
// Nothing nothing; all keys of one call reach the file in one replacement. A refused write is
// reported through ctx.host.reportError("Unable to write to <path>"), leaves the file as it
// was, and returns false.
bool WriteSettings(Context& ctx, Scope scope);

} // namespace kestrine
