#include "ui/WindowMode.h"

#include "core/CommandLine.h"
#include "ui/Prompts.h"
#include "ui/about/TAboutBox.h"
#include "ui/main/TForm1.h"

#include <QApplication>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace kestrine {

namespace {

bool envSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt aborts when it cannot reach the display it was told about, so a display counts only when
// a connection to it can be made.
bool xReachable() {
    if (!envSet("DISPLAY"))
        return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool reached = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return reached;
}

bool waylandReachable() {
    if (!envSet("WAYLAND_DISPLAY"))
        return false;
    std::string path = std::getenv("WAYLAND_DISPLAY");
    if (path.front() != '/') {
        if (!envSet("XDG_RUNTIME_DIR"))
            return false;
        path = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool reached = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return reached;
}

} // namespace

bool displayAvailable() {
    if (const char* platform = std::getenv("QT_QPA_PLATFORM")) {
        const std::string_view name(platform);
        if (name.starts_with("offscreen") || name.starts_with("minimal"))
            return false;
    }
    return waylandReachable() || xReachable();
}

std::string noDisplayText() {
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (envSet(name))
            named += std::string(named.empty() ? "" : ", ") + name + "=" + std::getenv(name);
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
    useProgramIcon();
    initState(state, platform);
    TForm1 form(state, platform);
    form.Init();
    QApplication::exec();
    return state.ExitCode;
}

} // namespace kestrine
