#include "host/shared_library.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tarvo::host {

bool SharedLibrary::open(const std::string& path) {
    close();
    error_.clear();
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle_ == nullptr) {
        error_ = "Windows error " + std::to_string(GetLastError());
    }
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown reason";
    }
#endif
    return handle_ != nullptr;
}

void SharedLibrary::close() {
    if (handle_ == nullptr) {
        return;
    }
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}

void* SharedLibrary::function(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

}  // namespace tarvo::host
