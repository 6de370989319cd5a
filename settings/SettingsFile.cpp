#include "settings/SettingsFile.h"

#include "settings/FileTypes.h"
#include "settings/ProfileFile.h"

namespace kestrine {

std::string settingsFilePath(const AppState& state) {
    return state.ProgramFolder + kSettingsFileName;
}

StoredSettings readSettingsFile(const std::string& path, Platform& platform, Size desktop,
                                Size window) {
    StoredSettings stored;
    Settings& s = stored.settings;
    const int defaultTop = desktop.height / 2 - window.height / 2;
    const int defaultLeft = desktop.width / 2 - window.width / 2;

    const ProfileFile file(path, platform);
    const char* section = kSettingsSection;

    s.SourcePath = file.readString(section, "SourcePath", "");
    s.DestPath = file.readString(section, "DestPath", "");
    s.Top = file.readInteger(section, "Top", defaultTop);
    s.Left = file.readInteger(section, "Left", defaultLeft);
    s.SaveLastSource = file.readBool(section, "SaveLastSource", true);
    s.SaveLastDest = file.readBool(section, "SaveLastDest", true);
    if (s.SaveLastSource)
        stored.remembered.source = file.readString(section, "SaveLastSourceFile", "");
    if (s.SaveLastDest)
        stored.remembered.dest = file.readString(section, "SaveLastDestFile", "");
    s.PrefSourcePathSwitch = file.readBool(section, "PrefSourcePathSwitch", false);
    s.PrefDestPathSwitch = file.readBool(section, "PrefDestPathSwitch", false);
    s.PrefSourcePath = file.readString(section, "PrefSourcePath", "");
    s.PrefDestPath = file.readString(section, "PrefDestPath", "");
    s.FileFilter = file.readString(section, "FileFilter", kDefaultFileFilter);
    s.FileFilter2 = unwrapPipes(file.readString(section, "FileFilter2", kDefaultFileFilter2Stored));
    s.FileFilterIndex1 = file.readInteger(section, "FileFilterIndex1", 0);
    s.FileFilterIndex2 = file.readInteger(section, "FileFilterIndex2", 0);
    s.FormColour = static_cast<ColourValue>(
        file.readInteger(section, "FormColour", static_cast<std::int32_t>(kDefaultFormColour)));
    return stored;
}

RememberedFiles ReadSettings(Context& ctx) {
    // The console host has no desktop and reports 0 x 0.
    StoredSettings stored = readSettingsFile(settingsFilePath(ctx.state), ctx.platform,
                                             ctx.host.desktopSize(), ctx.host.windowOuterSize());
    ctx.state.Settings = std::move(stored.settings);
    return stored.remembered;
}

Result<SettingsWritten> WriteSettings(Context& ctx, Scope scope) {
    // Any number below 1 writes nothing, as the numbered scopes always did.
    if (static_cast<std::int32_t>(scope) < static_cast<std::int32_t>(Scope::State))
        return SettingsWritten{};
    const Settings& s = ctx.state.Settings;
    const char* section = kSettingsSection;
    auto integer = [](std::int32_t value) { return formatProfileInteger(value); };
    auto boolean = [](bool value) { return std::string(value ? "1" : "0"); };

    std::vector<ProfileEntry> entries{
        {section, "SourcePath", s.SourcePath},
        {section, "DestPath", s.DestPath},
        {section, "Top", integer(ctx.host.windowTop())},
        {section, "Left", integer(ctx.host.windowLeft())},
    };
    if (s.SaveLastSource)
        entries.push_back({section, "SaveLastSourceFile", ctx.host.fieldText(Field::SourceFile)});
    if (s.SaveLastDest)
        entries.push_back({section, "SaveLastDestFile", ctx.host.fieldText(Field::DestFile)});
    if (scope == Scope::StateAndPreferences) {
        entries.insert(entries.end(),
                       {{section, "SaveLastSource", boolean(s.SaveLastSource)},
                        {section, "SaveLastDest", boolean(s.SaveLastDest)},
                        {section, "PrefSourcePathSwitch", boolean(s.PrefSourcePathSwitch)},
                        {section, "PrefDestPathSwitch", boolean(s.PrefDestPathSwitch)},
                        {section, "PrefSourcePath", s.PrefSourcePath},
                        {section, "PrefDestPath", s.PrefDestPath},
                        {section, "FileFilter", s.FileFilter},
                        {section, "FileFilter2", wrapInPipes(s.FileFilter2)},
                        {section, "FileFilterIndex1", integer(s.FileFilterIndex1)},
                        {section, "FileFilterIndex2", integer(s.FileFilterIndex2)},
                        {section, "FormColour", integer(static_cast<std::int32_t>(s.FormColour))}});
    }

    // A name with a line break must not cost the position and every other key.
    SettingsWritten written;
    std::erase_if(entries, [&](const ProfileEntry& entry) {
        if (validProfileValue(entry.value))
            return false;
        const bool nul = entry.value.find('\0') != std::string::npos;
        written.leftOut.push_back("The value of " + std::string(entry.key) +
                                  " was not saved: it holds " +
                                  (nul ? "a NUL character" : "a line break") + ", which " +
                                  kSettingsFileName + " cannot hold.");
        return true;
    });

    ProfileFile file(settingsFilePath(ctx.state), ctx.platform);
    if (!file.write(entries))
        // The report names the file only: its wording is fixed, and the user can act on the name.
        return Failure{"Unable to write to " + file.path()};
    return written;
}

bool reportWrite(Host& host, const Result<SettingsWritten>& written) {
    if (!written) {
        host.reportError(written.why());
        return false;
    }
    std::string report;
    for (const std::string& line : written->leftOut)
        report += (report.empty() ? "" : "\n") + line;
    if (!report.empty())
        host.reportError(report);
    return true;
}

} // namespace kestrine
