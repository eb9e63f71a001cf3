// Snapshots of an instance. A snapshot is a byte copy of the whole record;
// a restore takes back the model data, the experiment and clock fields and
// the flags, never a pointer, so the instance keeps its own name, resource
// path, callbacks and views, and a snapshot fits any instance of the model.
#include "ieee/ieee_arithmetic.h"

#include <cstring>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance_state.h"
#include "fmi2/logging.h"

namespace tarvo::fmi {

namespace {

// A field added to the record must be restored below or named among the
// fields left as the instance has them, with the reason. Two guards stop the
// build until it is: the size of the record on 64-bit platforms (every
// platform the unit ships for), and the list of every field in
// restoreSnapshot, which a new field makes too short even where it fills
// padding.
static_assert(sizeof(void*) != 8 || sizeof(ModelInstance) == 3744,
              "the record changed: restore the new field or say why a restore leaves it");

void restoreSnapshot(ModelInstance& instance, const ModelInstance& snapshot) {
    // Every field, in record order. Left as the instance has them:
    // - functions, instanceName, resourcePath: what the instance borrows and
    //   owns; a snapshot's are another instance's, or freed by now;
    // - initializationRunning: 1 only while initializeModel runs, so 0
    //   whenever a host takes or restores a snapshot;
    // - matrixViews and the six section pointers: they point into the record
    //   that holds them, a snapshot's into its source;
    // - matrixStorage, inverseWorkspace: scratch of the equations, which
    //   every evaluation forms anew from modelData or checks against it (the
    //   fast equations keep their last inverse beside its operand); an
    //   inverse whose matrix is singular stays as this instance last had it;
    // - rkWork: written by every Runge-Kutta step before it is read.
    [[maybe_unused]] const auto& [functions, instanceName, resourcePath, startTime, stopTime,
                                  stopTimeDefined, stepSize, currentTime, evaluationCount,
                                  initialPhase, majorStep, stopRequested, parametersChanged,
                                  initializationRunning, modelData, matrixViews, matrixStorage,
                                  inverseWorkspace, rkWork, constants, parameters, initialValues,
                                  variables, states, rates] = snapshot;
    std::memcpy(instance.modelData, snapshot.modelData, sizeof instance.modelData);
    instance.startTime = snapshot.startTime;
    instance.stopTime = snapshot.stopTime;
    instance.stopTimeDefined = snapshot.stopTimeDefined;
    instance.stepSize = snapshot.stepSize;
    instance.currentTime = snapshot.currentTime;
    instance.evaluationCount = snapshot.evaluationCount;
    instance.initialPhase = snapshot.initialPhase;
    instance.majorStep = snapshot.majorStep;
    instance.stopRequested = snapshot.stopRequested;
    instance.parametersChanged = snapshot.parametersChanged;
}

}  // namespace

}  // namespace tarvo::fmi

namespace fmi = tarvo::fmi;
using tarvo::ModelInstance;

extern "C" {

// A handle that is not null is an earlier snapshot of this model and is
// overwritten in place.
FMI2_Export fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    const ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (FMUstate == nullptr) {
        return fmi2Discard;
    }
    if (*FMUstate == nullptr) {
        *FMUstate = instance->functions->allocateMemory(sizeof(ModelInstance), 1);
        if (*FMUstate == nullptr) {
            fmi::logError(instance->functions, instance->instanceName,
                          fmi::kSnapshotAllocationFailed);
            return fmi2Error;
        }
    }
    std::memcpy(*FMUstate, instance, sizeof(ModelInstance));
    return fmi2OK;
}

FMI2_Export fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (FMUstate == nullptr) {
        fmi::logError(instance->functions, instance->instanceName, fmi::kSnapshotRestoreFailed);
        return fmi2Error;
    }
    fmi::restoreSnapshot(*instance, *static_cast<const ModelInstance*>(FMUstate));
    return fmi2OK;
}

// Without the instance the host's freeMemory cannot be reached: a snapshot
// to release is then kept and the call fails.
FMI2_Export fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
    if (FMUstate == nullptr || *FMUstate == nullptr) {
        return fmi2OK;
    }
    const ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    instance->functions->freeMemory(*FMUstate);
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
