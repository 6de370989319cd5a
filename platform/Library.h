#pragma once
// A shared library loaded while the program runs.

#include <memory>
#include <string>

namespace kestrine {

class SharedLibrary {
public:
    // Loads `name` the way the executable finds its own libraries (its run path). On failure
    // the library is not loaded and error() says why.
    explicit SharedLibrary(const std::string& name);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // The address of an exported function, or null with error() set.
    template <typename F> F function(const char* name) { return reinterpret_cast<F>(symbol(name)); }

private:
    void* symbol(const char* name);
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace kestrine
