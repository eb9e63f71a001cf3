// The unit loaded as an importer loads it: its shared library and the table
// of its FMI 2.0 functions, every one of them resolved. Builds of the unit
// load side by side, each from its own path, and each is closed when its
// object goes.
#ifndef TARVO_TOOLS_HOST_UNIT_LIBRARY_H
#define TARVO_TOOLS_HOST_UNIT_LIBRARY_H

#include <string>

#include "host/fmi_api.h"
#include "host/shared_library.h"

namespace tarvo::host {

class UnitLibrary {
public:
    UnitLibrary() = default;
    // Loaded at once; isLoaded() and error() tell how it went.
    explicit UnitLibrary(const std::string& path) { load(path); }

    // Loads the library at path and resolves its functions, after closing
    // the one held before. False when the library cannot be loaded or lacks
    // one of the functions (it is closed again then); error() says which.
    bool load(const std::string& path);
    void close();

    bool isLoaded() const { return library_.isOpen(); }
    const std::string& error() const { return error_; }

    const Fmi2Api& fmi2() const { return fmi2_; }

private:
    SharedLibrary library_;
    Fmi2Api fmi2_;
    std::string error_;
};

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_UNIT_LIBRARY_H
