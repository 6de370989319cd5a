#pragma once
// Reading and writing "Kestrine.ini" beside the executable.

#include "core/Context.h"

#include <string>
#include <vector>

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

// What a write left out: per key whose value the file cannot hold (a line break, a NUL), a
// message naming the key and why.
struct SettingsWritten {
    std::vector<std::string> leftOut;
};

// State writes the state group, StateAndPreferences the state and then the preference group,
// Nothing nothing; all keys of one call reach the file in one replacement, every key but those
// left out. A refused write leaves the file as it was and fails with "Unable to write to
// <path>".
Result<SettingsWritten> WriteSettings(Context& ctx, Scope scope);

// Tells the user of a write's failure, else of the keys it left out (one a line), in the error
// box of `host`; whether the file was written.
bool reportWrite(Host& host, const Result<SettingsWritten>& written);

} // namespace kestrine
