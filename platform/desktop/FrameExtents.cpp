#include "platform/desktop/FrameExtents.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace kestrine {

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The CARDINAL or ATOM values of a window property.
std::vector<std::uint32_t> property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                    xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr),
        &std::free);
    if (!reply || reply->type != type || reply->format != 32)
        return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

} // namespace

QSize outerSize(const QSize& client, const QMargins& frame) {
    return client.grownBy(frame);
}

QMargins expectedFrameExtents(WId window) {
    // Only the X11 platform has a window manager to ask; the offscreen one may offer the same
    // interface without a connection.
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return {};
    const xcb_window_t root = screen->root;

    // Only a window manager that says it answers the request is asked (EWMH).
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    const auto supported = property(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (request == XCB_ATOM_NONE ||
        std::find(supported.begin(), supported.end(), request) == supported.end())
        return {};

    const auto id = xcb_window_t(window);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The answer is a property on the window; a manager that never sets it costs a short wait.
    for (int tries = 0; tries < 50; ++tries) {
        const auto values = property(c, id, extents, XCB_ATOM_CARDINAL);
        if (values.size() == 4) // left, right, top, bottom
            return QMargins(int(values[0]), int(values[2]), int(values[1]), int(values[3]));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {};
}

} // namespace kestrine
