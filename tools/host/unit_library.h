// The unit loaded as an importer loads it: its shared library and the table
// of the FMI functions of one version, every one of them resolved. Builds of
// the unit load side by side, each from its own path, and each is closed
// when its object goes.
#ifndef TARVO_TOOLS_HOST_UNIT_LIBRARY_H
#define TARVO_TOOLS_HOST_UNIT_LIBRARY_H

#include <string>

#include "host/fmi_api.h"
#include "host/shared_library.h"

namespace tarvo::host {

// The interface a library is loaded through: the FMI 2.0 unit exports the
// one, the FMI 3.0 unit the other.
enum class FmiVersion {
    fmi2,
    fmi3
};

class UnitLibrary {
public:
    UnitLibrary() = default;
    // Loaded at once; isLoaded() and error() tell how it went.
    explicit UnitLibrary(const std::string& path, FmiVersion version = FmiVersion::fmi2) {
        load(path, version);
    }

    // Loads the library at path and resolves the functions of the version,
    // after closing the one held before. False when the library cannot be
    // loaded or lacks one of the functions (it is closed again then);
    // error() says which.
    bool load(const std::string& path, FmiVersion version = FmiVersion::fmi2);
    void close();

    bool isLoaded() const { return library_.isOpen(); }
    const std::string& error() const { return error_; }

    // The table of the version loaded; the other one's holds only nulls.
    const Fmi2Api& fmi2() const { return fmi2_; }
    const Fmi3Api& fmi3() const { return fmi3_; }

private:
    SharedLibrary library_;
    Fmi2Api fmi2_;
    Fmi3Api fmi3_;
    std::string error_;
};

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_UNIT_LIBRARY_H
