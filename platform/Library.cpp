#include "platform/Library.h"

#include <dlfcn.h>

namespace kestrine {

namespace {

std::string lastLoadError() {
    const char* text = ::dlerror();
    return text ? text : "unknown error";
}

} // namespace

SharedLibrary::SharedLibrary(const std::string& name) {
    handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        error_ = lastLoadError();
}

SharedLibrary::~SharedLibrary() {
    // Qt registers exit handlers and atexit destructors inside the library: it stays mapped
    // until the process ends.
}

void* SharedLibrary::symbol(const char* name) {
    if (!handle_)
        return nullptr;
    ::dlerror();
    void* address = ::dlsym(handle_, name);
    if (!address)
        error_ = lastLoadError();
    return address;
}

} // namespace kestrine
