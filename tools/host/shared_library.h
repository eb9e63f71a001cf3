// A shared library loaded the way hosts load the unit: dlopen with
// RTLD_NOW | RTLD_LOCAL, so that builds loaded side by side never share a
// symbol; LoadLibrary on Windows, where the trace tool runs as a win64
// program. Closed again when the object goes.
#ifndef TARVO_TOOLS_HOST_SHARED_LIBRARY_H
#define TARVO_TOOLS_HOST_SHARED_LIBRARY_H

#include <string>

namespace tarvo::host {

class SharedLibrary {
public:
    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary() { close(); }

    // Loads the library at path, after closing the one held before; false
    // when it cannot be loaded, and error() says why.
    bool open(const std::string& path);
    void close();

    bool isOpen() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // The address of the library's function of that name, or null.
    void* function(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_SHARED_LIBRARY_H
