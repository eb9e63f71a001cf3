#include "host/unit_library.h"

namespace tarvo::host {

bool UnitLibrary::load(const std::string& path) {
    close();
    error_.clear();
    if (!library_.open(path)) {
        error_ = "cannot load " + path + ": " + library_.error();
        return false;
    }
    int missing = 0;
#define TARVO_FMI2_RESOLVE(name)                                          \
    fmi2_.name = reinterpret_cast<name##TYPE*>(library_.function(#name)); \
    missing += fmi2_.name == nullptr ? 1 : 0;
    TARVO_FMI2_EXPORTS(TARVO_FMI2_RESOLVE)
#undef TARVO_FMI2_RESOLVE
    if (missing != 0) {
        error_ = path + " lacks " + std::to_string(missing) + " of the " +
                 std::to_string(kFmi2ExportCount) + " FMI functions";
        close();
        return false;
    }
    return true;
}

void UnitLibrary::close() {
    library_.close();
    fmi2_ = Fmi2Api{};
}

}  // namespace tarvo::host
