// X11 realisation of the global hot key: a passive grab of the key on the root window, seen by
// a native event filter. Other window systems (Wayland, offscreen) have no such grab.

#include "platform/desktop/HotKey.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace kestrine {

namespace {

constexpr xcb_keysym_t kKeysymF1 = 0xFFBE;
// NumLock is Mod2 on every usual keymap; a lock left on must not defeat the key.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                           XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_keycode_t keycodeOf(xcb_connection_t* connection, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int code = 0; code < count && !found; ++code)
        for (int i = 0; i < perCode; ++i)
            if (syms[code * perCode + i] == keysym) {
                found = static_cast<xcb_keycode_t>(first + code);
                break;
            }
    std::free(reply);
    return found;
}

} // namespace

struct GlobalHotKey::Impl : QAbstractNativeEventFilter {
    std::function<void()> pressed;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_keycode_t keycode = 0;
    bool active = false;
    // A held key repeats: one press, one help. The grab sends every press and release of the
    // key here until it is let go.
    bool down = false;
    bool released = false;
    xcb_timestamp_t releasedAt = 0;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (!active || type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<xcb_generic_event_t*>(message);
        const std::uint8_t kind = event->response_type & 0x7F;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        // A release has the layout of a press.
        const auto* key = static_cast<const xcb_key_press_event_t*>(message);
        if (key->detail != keycode || key->event != root)
            return false;
        if (kind == XCB_KEY_RELEASE) {
            down = false;
            released = true;
            releasedAt = key->time;
            return true;
        }
        // The server repeats a held key as a release and a press of the same time, or, where
        // the repeat is detectable, as presses alone.
        const bool repeat = down || (released && key->time == releasedAt);
        down = true;
        if (!repeat && pressed)
            pressed();
        return true;
    }

    void ungrab() {
        for (std::uint16_t mods : kLockVariants)
            xcb_ungrab_key(connection, keycode, root, mods);
        xcb_flush(connection);
    }
};

GlobalHotKey::GlobalHotKey(std::function<void()> pressed) : impl_(std::make_unique<Impl>()) {
    impl_->pressed = std::move(pressed);
}

GlobalHotKey::~GlobalHotKey() {
    unregister();
}

bool GlobalHotKey::registered() const {
    return impl_->active;
}

bool GlobalHotKey::registerF1() {
    if (impl_->active)
        return true;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_keycode_t keycode = keycodeOf(connection, kKeysymF1);
    if (!screen || !keycode)
        return false;

    impl_->connection = connection;
    impl_->root = screen->root;
    impl_->keycode = keycode;
    // The pointer-less grab reports the key on the root window, whichever window has the focus.
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t mods : kLockVariants)
        cookies.push_back(xcb_grab_key_checked(connection, 0, screen->root, mods, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool ok = true;
    for (xcb_void_cookie_t cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            ok = false; // another program holds the key
            std::free(error);
        }
    if (!ok) {
        impl_->ungrab();
        return false;
    }
    impl_->active = true;
    app->installNativeEventFilter(impl_.get());
    return true;
}

void GlobalHotKey::unregister() {
    if (!impl_->active)
        return;
    impl_->active = false;
    // Without the application the connection is gone, and with it the grab.
    if (auto* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(impl_.get());
        impl_->ungrab();
    }
}

} // namespace kestrine
