#pragma once
// A key that reaches the program whichever application is active: F1 for the help.

#include <functional>
#include <memory>

namespace kestrine {

class GlobalHotKey {
public:
    // `pressed` runs on the user-interface thread for each press of the key.
    explicit GlobalHotKey(std::function<void()> pressed);
    ~GlobalHotKey(); // releases the key
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Takes F1 without modifier keys for the whole desktop. False, and nothing taken, where the
    // window system has no such thing or another program already holds the key.
    bool registerF1();
    void unregister();
    bool registered() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kestrine
