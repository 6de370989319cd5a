#include "ui/main/WindowMode.h"

#include "core/CommandLine.h"
#include "platform/desktop/Display.h"
#include "ui/about/TAboutBox.h"
#include "ui/common/Prompts.h"
#include "ui/common/WindowLook.h"
#include "ui/main/TForm1.h"

#include <QApplication>

namespace kestrine {

std::string noDisplayText() {
    const std::string named = displayVariables();
    const std::string what =
        named.empty()
            ? "Kestrine: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not "
              "set)."
            : "Kestrine: no display could be reached to show the window on (" + named + ").";
    return what + "\nTo copy without a window give four parameters: " +
           usageText().substr(usageText().find("Example: ") + 9);
}

void prepareEventLoop() {
    // Nothing here needs a GLib main loop; a user's own choice stands.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

void showConsoleError(int argc, char** argv, const std::string& text) {
    if (!displayAvailable())
        return;
    QApplication app(argc, argv);
    identifyProgram();
    prompts().messageBox(nullptr, BoxKind::Error, QString::fromStdString(text));
}

int runWindowMode(int argc, char** argv, AppState& state) {
    if (argc > 1) {
        // The usage text has reached standard output already; the box only where it can show.
        if (displayAvailable()) {
            prepareEventLoop();
            QApplication app(argc, argv);
            identifyProgram();
            prompts().messageBox(nullptr, BoxKind::Information,
                                 QString::fromStdString(usageText()));
        }
        return 0;
    }

    Platform& platform = Platform::system();
    // Without a display it can reach Qt would abort; say what is wrong and how to copy without
    // a window.
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    const bool needsDisplay =
        chosen.isEmpty() || chosen.startsWith("xcb") || chosen.startsWith("wayland");
    if (needsDisplay && !displayAvailable()) {
        platform.writeStandardError(noDisplayText() + "\n");
        return 1;
    }
    prepareEventLoop();
    QApplication app(argc, argv);
    identifyProgram();
    initState(state, platform);
    TForm1 form(state, platform);
    form.Init();
    QApplication::exec();
    return state.ExitCode;
}

} // namespace kestrine
