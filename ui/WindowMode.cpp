#include "ui/WindowMode.h"

#include "core/CommandLine.h"
#include "ui/Prompts.h"
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

void prepareEventLoop() {
    // Nothing here needs a GLib main loop; a user's own choice stands.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

void showConsoleError(int argc, char** argv, const std::string& text) {
    if (!displayAvailable())
        return;
    QApplication app(argc, argv);
    prompts().messageBox(nullptr, BoxKind::Error, QString::fromStdString(text));
}

int runWindowMode(int argc, char** argv, AppState& state) {
    if (argc > 1) {
        // The usage text has reached standard output already; the box only where it can show.
        if (displayAvailable()) {
            prepareEventLoop();
            QApplication app(argc, argv);
            prompts().messageBox(nullptr, BoxKind::Information, QString::fromStdString(usageText()));
        }
        return 0;
    }

    prepareEventLoop();
    QApplication app(argc, argv);
    Platform& platform = Platform::system();
    initState(state, platform);
    TForm1 form(state, platform);
    form.Init();
    QApplication::exec();
    return state.ExitCode;
}

} // namespace kestrine
