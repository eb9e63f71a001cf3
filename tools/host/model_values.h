// The unit's values as a host names them: value references looked up by
// name in the variable table (runtime/model_variables.h, from which the
// model description is generated), never written as numbers.
#ifndef TARVO_TOOLS_HOST_MODEL_VALUES_H
#define TARVO_TOOLS_HOST_MODEL_VALUES_H

#include <array>

#include "fmi2/fmi2_types.h"
#include "runtime/model_variables.h"

namespace tarvo::host {

// At compile time an unknown name stops the build; at run time it gives
// kValueCount, a value reference that every call refuses.
using runtime::valueReferenceOf;

constexpr fmi2ValueReference kValueCount = runtime::kModelDataSize;
constexpr fmi2ValueReference kInputA = valueReferenceOf("channelA.input");
constexpr fmi2ValueReference kInputB = valueReferenceOf("channelB.input");

// Every value of the unit, in value-reference order.
using ModelValues = std::array<double, kValueCount>;

constexpr std::array<fmi2ValueReference, kValueCount> kAllValueReferences = [] {
    std::array<fmi2ValueReference, kValueCount> references{};
    for (fmi2ValueReference vr = 0; vr < kValueCount; ++vr) {
        references[vr] = vr;
    }
    return references;
}();

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_MODEL_VALUES_H
