#include "platform/desktop/Display.h"

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

std::string displayVariables() {
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (envSet(name))
            named += std::string(named.empty() ? "" : ", ") + name + "=" + std::getenv(name);
    return named;
}

} // namespace kestrine
