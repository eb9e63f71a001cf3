#include "host/unit_library.h"

namespace tarvo::host {

bool UnitLibrary::load(const std::string& path, FmiVersion version) {
    close();
    error_.clear();
    if (!library_.open(path)) {
        error_ = "cannot load " + path + ": " + library_.error();
        return false;
    }
    int missing = 0;
#define TARVO_RESOLVE(table, name)                                        \
    table.name = reinterpret_cast<name##TYPE*>(library_.function(#name)); \
    missing += table.name == nullptr ? 1 : 0;
#define TARVO_FMI2_RESOLVE(name) TARVO_RESOLVE(fmi2_, name)
#define TARVO_FMI3_RESOLVE(name) TARVO_RESOLVE(fmi3_, name)
    int count = 0;
    if (version == FmiVersion::fmi2) {
        TARVO_FMI2_EXPORTS(TARVO_FMI2_RESOLVE)
        count = kFmi2ExportCount;
    } else {
        TARVO_FMI3_EXPORTS(TARVO_FMI3_RESOLVE)
        count = kFmi3ExportCount;
    }
#undef TARVO_FMI3_RESOLVE
#undef TARVO_FMI2_RESOLVE
#undef TARVO_RESOLVE
    if (missing != 0) {
        error_ = path + " lacks " + std::to_string(missing) + " of the " + std::to_string(count) +
                 (version == FmiVersion::fmi2 ? " FMI 2.0" : " FMI 3.0") + " functions";
        close();
        return false;
    }
    return true;
}

void UnitLibrary::close() {
    library_.close();
    fmi2_ = Fmi2Api{};
    fmi3_ = Fmi3Api{};
}

}  // namespace tarvo::host
