#pragma once
// The preferences record, filled from "Kestrine.ini" at start-up, and the defaults it starts
// from.

#include <cstdint>
#include <optional>
#include <string>

namespace kestrine {

// 0xFF0000nn names system colour nn; anything else is 0x00BBGGRR.
using ColourValue = std::uint32_t;

inline constexpr ColourValue kDefaultFormColour = 0xFF00001C;
inline constexpr const char* kDefaultFileFilter =
    "All Files (*.*)|*.*|Programs (*.exe)|*.exe|Zip Files (*.zip)|*.zip";
// As stored in the file, with its "|" wrapper.
inline constexpr const char* kDefaultFileFilter2Stored =
    "|\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"|";

struct Settings {
    bool SaveLastSource = true;
    bool SaveLastDest = true;
    std::string FileFilter = kDefaultFileFilter;
    // List form, without the "|" wrapper.
    std::string FileFilter2 = "\"All Files=*.*\",\"Programs=*.exe\",\"Zip Files=*.zip\"";
    std::int32_t FileFilterIndex1 = 0;
    std::int32_t FileFilterIndex2 = 0;
    bool PrefSourcePathSwitch = false;
    bool PrefDestPathSwitch = false;
    std::string PrefSourcePath;
    std::string PrefDestPath;
    std::string SourcePath;
    std::string DestPath;
    std::int32_t Top = 0;
    std::int32_t Left = 0;
    ColourValue FormColour = kDefaultFormColour;

    bool operator==(const Settings&) const = default;
};

// The files remembered from the last run; nothing where remembering is switched off.
struct RememberedFiles {
    std::optional<std::string> source;
    std::optional<std::string> dest;
};

// What a settings write covers. The numbers are those the callers and the file format use.
enum class Scope : std::int32_t { Nothing = 0, State = 1, StateAndPreferences = 2 };

} // namespace kestrine
