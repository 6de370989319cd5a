#include "settings/SettingsFile.h"

#include "core/Copy.h"
#include "core/Log.h"
#include "settings/FileTypes.h"
#include "settings/ProfileFile.h"

namespace kestrine {

std::string settingsFilePath(const AppState& state) {
    return state.ProgramFolder + kSettingsFileName;
}

void ReadSettings(Context& ctx) {
    ReadSettings(ctx, ProfileIO::system());
}

bool WriteSettings(Context& ctx, std::int32_t Scope) {
    return WriteSettings(ctx, Scope, ProfileIO::system());
}

void ReadSettings(Context& ctx, ProfileIO& io) {
    Settings& s = ctx.state.Settings;

    // Centred on the whole desktop with the window's size as created; the console host has no
    // desktop and reports 0 x 0.
    const Size desktop = ctx.host.desktopSize();
    const Size window = ctx.host.windowOuterSize();
    const int defaultTop = desktop.height / 2 - window.height / 2;
    const int defaultLeft = desktop.width / 2 - window.width / 2;

    const ProfileFile file(settingsFilePath(ctx.state), io);
    const char* section = kSettingsSection;

    s.SourcePath = file.readString(section, "SourcePath", "");
    s.DestPath = file.readString(section, "DestPath", "");
    s.Top = file.readInteger(section, "Top", defaultTop);
    s.Left = file.readInteger(section, "Left", defaultLeft);
    s.SaveLastSource = file.readBool(section, "SaveLastSource", true);
    s.SaveLastDest = file.readBool(section, "SaveLastDest", true);

    if (s.SaveLastSource) {
        const std::string last = file.readString(section, "SaveLastSourceFile", "");
        if (!last.empty() && ctx.platform.fileExists(last)) {
            ctx.host.setFieldText(Field::SourceFile, last);
            ChangeSourceFile(ctx);
            AddToLog(ctx, "Source file is " + ctx.state.SourceFileName, false);
            AddToLog(ctx, "Source file is " + FormatSize(ctx, ctx.state.SourceFileSize), false);
        } else {
            ctx.host.setFieldText(Field::SourceFile, "");
            ChangeSourceFile(ctx);
        }
    }
    if (s.SaveLastDest)
        ctx.host.setFieldText(Field::DestFile, file.readString(section, "SaveLastDestFile", ""));

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
}

bool WriteSettings(Context& ctx, std::int32_t Scope, ProfileIO& io) {
    if (Scope < 1)
        return true;
    const Settings& s = ctx.state.Settings;
    ProfileFile file(settingsFilePath(ctx.state), io);
    const char* section = kSettingsSection;

    // Each step stops the rest once one write is refused.
    bool ok = file.writeString(section, "SourcePath", s.SourcePath) &&
              file.writeString(section, "DestPath", s.DestPath) &&
              file.writeInteger(section, "Top", ctx.host.windowTop()) &&
              file.writeInteger(section, "Left", ctx.host.windowLeft()) &&
              (!s.SaveLastSource || file.writeString(section, "SaveLastSourceFile",
                                                     ctx.host.fieldText(Field::SourceFile))) &&
              (!s.SaveLastDest ||
               file.writeString(section, "SaveLastDestFile", ctx.host.fieldText(Field::DestFile)));

    if (ok && Scope == 2) {
        ok = file.writeBool(section, "SaveLastSource", s.SaveLastSource) &&
             file.writeBool(section, "SaveLastDest", s.SaveLastDest) &&
             file.writeBool(section, "PrefSourcePathSwitch", s.PrefSourcePathSwitch) &&
             file.writeBool(section, "PrefDestPathSwitch", s.PrefDestPathSwitch) &&
             file.writeString(section, "PrefSourcePath", s.PrefSourcePath) &&
             file.writeString(section, "PrefDestPath", s.PrefDestPath) &&
             file.writeString(section, "FileFilter", s.FileFilter) &&
             file.writeString(section, "FileFilter2", wrapInPipes(s.FileFilter2)) &&
             file.writeInteger(section, "FileFilterIndex1", s.FileFilterIndex1) &&
             file.writeInteger(section, "FileFilterIndex2", s.FileFilterIndex2) &&
             file.writeInteger(section, "FormColour", static_cast<std::int32_t>(s.FormColour));
    }
    if (!ok)
        ctx.host.reportError("Unable to write to " + file.path());
    return ok;
}

} // namespace kestrine
