#include "ui/WindowMode.h"

#include "core/CommandLine.h"
#include "ui/Prompts.h"
#include "ui/about/TAboutBox.h"
#include "ui/main/TForm1.h"

#include <QApplication>

#include <cstdlib>
#include <string_view>

namespace kestrine {

namespace {

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

bool displayAvailable() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM")) {
        const std::string_view name(platform);
        if (name.starts_with("offscreen") || name.starts_with("minimal"))
            return false;
    }
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY");
}

std::string noDisplayText() {
    return "Kestrine: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not "
           "set).\nTo copy without a window give four parameters: " +
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
    useProgramIcon();
    prompts().messageBox(nullptr, BoxKind::Error, QString::fromStdString(text));
}

int runWindowMode(int argc, char** argv, AppState& state) {
    if (argc > 1) {
        // The usage text has reached standard output already; the box only where it can show.
        if (displayAvailable()) {
            prepareEventLoop();
            QApplication app(argc, argv);
            useProgramIcon();
            prompts().messageBox(nullptr, BoxKind::Information, QString::fromStdString(usageText()));
        }
        return 0;
    }

    Platform& platform = Platform::system();
    // Without any display Qt would abort; say what is wrong and how to copy without a window.
    if (!displayAvailable() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        platform.writeStandardError(noDisplayText() + "\n");
        return 1;
    }
    prepareEventLoop();
    QApplication app(argc, argv);
    useProgramIcon();
    initState(state, platform);
    TForm1 form(state, platform);
    form.Init();
    QApplication::exec();
    return state.ExitCode;
}

} // namespace kestrine
