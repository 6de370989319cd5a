#pragma once
// What the main window's file selection needs besides its handlers: the names a drop carries,
// and a file dialog prepared from the field it fills.

#include "platform/Platform.h"
#include "ui/common/Prompts.h"

#include <QStringList>

#include <functional>
#include <string>

class QWidget;

namespace kestrine {

// Drops of local files on `window` hand their names, byte for byte, to `take`; a drop that
// holds anything but local files is refused. The window accepts drops once it says so.
void takeFileDrops(QWidget* window, std::function<void(const QStringList&)> take);

// Whether the focus leaving the source field for this reason takes the typed name over: a move
// to another control of the window does; the program's own focus moves and switching to
// another window do not.
bool takesTypedName(Qt::FocusReason reason);

// Start folder, offered file name and title of a file dialog, from the text of the field it
// fills and the folders the settings name.
void prepareFileDialog(Platform& platform, FileDialogState& dialog, const std::string& lastPath,
                       bool prefSwitch, const std::string& prefPath, const std::string& fieldText,
                       const QString& title);

} // namespace kestrine
