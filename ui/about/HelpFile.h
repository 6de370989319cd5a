#pragma once
// The manual travels inside the executable as a compiled HTML help file; Help writes it to the
// help folder (beside the executable, or the user's cache folder for an installed program) when
// it is missing or differs, then hands it to the desktop's viewer.

#include "platform/Platform.h"

#include <QByteArray>

#include <string>
#include <string_view>

class QWidget;

namespace kestrine {

// The name of the help file in its folder.
inline constexpr char kHelpFileName[] = "Kestrine.chm";

// Said when the desktop has no viewer for compiled HTML help.
inline constexpr char kNoHelpViewerText[] =
    "The manual cannot be shown: no viewer for compiled HTML help (.chm) is installed.\n"
    "Install one, for example xchm (sudo apt install xchm), and press F1 again.";

// The embedded help file (the resource ":/HelpCHM").
QByteArray helpResource();

// Makes the file at `path` a copy of `bytes` unless it is a regular file of their size already,
// by replacing it whole (a symbolic link of that name is replaced, its target never written). A
// file another program holds locked, a folder, a FIFO or a device is not replaced. Returns false
// with the message for the error box in `error`; a failed write leaves the old file as it was.
bool ensureHelpFile(Platform& platform, const std::string& path, std::string_view bytes,
                    std::string& error);

// The Help command: HelpFolder + "Kestrine.chm" written when needed and opened; a failure
// shown in the general error box, and the help then not opened; without a viewer, a box says
// what to install.
void openHelp(Platform& platform, const std::string& helpFolder, QWidget* owner);

} // namespace kestrine
