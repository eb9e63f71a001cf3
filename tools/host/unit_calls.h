// The calls every host-side program makes alike: instantiation as a host of
// the unit makes it, single writes and reads, and all values at once.
#ifndef TARVO_TOOLS_HOST_UNIT_CALLS_H
#define TARVO_TOOLS_HOST_UNIT_CALLS_H

#include "host/fmi_api.h"
#include "host/model_values.h"
#include "runtime/model_identity.h"

namespace tarvo::host {

// Co-simulation, the unit's GUID, a resource location it never reads,
// invisible, no debug logging. The unit keeps a pointer to callbacks.
inline fmi2Component instantiate(const Fmi2Api& api, const char* name,
                                 const fmi2CallbackFunctions& callbacks) {
    return api.fmi2Instantiate(name, fmi2CoSimulation, runtime::kModelGuid, "file:///tmp/res",
                               &callbacks, fmi2False, fmi2False);
}

inline fmi2Status setReal(const Fmi2Api& api, fmi2Component instance, fmi2ValueReference vr,
                          double value) {
    return api.fmi2SetReal(instance, &vr, 1, &value);
}

inline fmi2Status getReal(const Fmi2Api& api, fmi2Component instance, fmi2ValueReference vr,
                          double& value) {
    return api.fmi2GetReal(instance, &vr, 1, &value);
}

inline fmi2Status readAllValues(const Fmi2Api& api, fmi2Component instance, ModelValues& values) {
    return api.fmi2GetReal(instance, kAllValueReferences.data(), kValueCount, values.data());
}

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_UNIT_CALLS_H
