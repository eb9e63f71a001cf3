#include "host/value_map.h"

#include "host/model_values.h"

namespace tarvo::host {

std::string valueMapFault(const ValueMap& map) {
    if (map.instantiationToken.empty()) {
        return "no instantiation token";
    }
    std::vector<bool> seen(kValueCount, false);
    for (const Fmi3Variable& variable : map.variables) {
        if (variable.elements.empty()) {
            return "variable " + std::to_string(variable.valueReference) + " has no elements";
        }
        for (fmi2ValueReference vr : variable.elements) {
            if (vr >= kValueCount) {
                return "value reference " + std::to_string(vr) + " is not one of the " +
                       std::to_string(kValueCount) + " of the FMI 2.0 unit";
            }
            if (seen[vr]) {
                return "value reference " + std::to_string(vr) + " appears twice";
            }
            seen[vr] = true;
        }
    }
    for (fmi2ValueReference vr = 0; vr < kValueCount; ++vr) {
        if (!seen[vr]) {
            return "value reference " + std::to_string(vr) + " lies in no variable";
        }
    }
    return {};
}

}  // namespace tarvo::host
