// Snapshots of an instance. A snapshot is a block from the host's allocator
// holding a copy of the model's state, which holds no pointer: restored, it
// gives an instance its model's state back and nothing else, so the instance
// keeps its own name, resource path and callbacks, and a snapshot fits any
// instance of the model.
#include "ieee/ieee_arithmetic.h"

#include <cstring>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance.h"
#include "fmi2/logging.h"
#include "runtime/model.h"

namespace fmi2 = tarvo::fmi2;
using tarvo::runtime::ModelState;

extern "C" {

// A handle that is not null is an earlier snapshot of this model and is
// overwritten in place.
FMI2_Export fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    const fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (FMUstate == nullptr) {
        return fmi2Discard;
    }
    const fmi2::HostBinding& host = instance->host;
    if (*FMUstate == nullptr) {
        *FMUstate = host.functions->allocateMemory(fmi2::kBlockBytes, 1);
        if (*FMUstate == nullptr) {
            fmi2::logError(host.functions, host.instanceName, fmi2::kSnapshotAllocationFailed);
            return fmi2Error;
        }
    }
    std::memcpy(*FMUstate, &instance->model.state, sizeof(ModelState));
    return fmi2OK;
}

FMI2_Export fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (FMUstate == nullptr) {
        fmi2::logError(instance->host.functions, instance->host.instanceName,
                       fmi2::kSnapshotRestoreFailed);
        return fmi2Error;
    }
    std::memcpy(&instance->model.state, FMUstate, sizeof(ModelState));
    return fmi2OK;
}

// Without the instance the host's freeMemory cannot be reached: a snapshot
// to release is then kept and the call fails.
FMI2_Export fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    if (FMUstate == nullptr || *FMUstate == nullptr) {
        return fmi2OK;
    }
    const fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    instance->host.functions->freeMemory(*FMUstate);
    *FMUstate = nullptr;
    return fmi2OK;
}

// Snapshots stay in memory: serialising them into bytes is not offered.
FMI2_Export fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate /*FMUstate*/,
                                                  size_t* /*size*/) {
    return c == nullptr ? fmi2Error : fmi2Discard;
}

FMI2_Export fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate /*FMUstate*/,
                                             fmi2Byte /*serializedState*/[], size_t /*size*/) {
    return c == nullptr ? fmi2Error : fmi2Discard;
}

FMI2_Export fmi2Status fmi2DeSerializeFMUstate(fmi2Component c,
                                               const fmi2Byte /*serializedState*/[],
                                               size_t /*size*/, fmi2FMUstate* /*FMUstate*/) {
    return c == nullptr ? fmi2Error : fmi2Discard;
}

}  // extern "C"
