// Experiment set-up, initialisation, reset and termination, and the two
// information strings.
#include "ieee/ieee_arithmetic.h"

#include <cmath>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance_state.h"
#include "runtime/model_runtime.h"

namespace fmi = tarvo::fmi;
namespace runtime = tarvo::runtime;
using tarvo::ModelInstance;

extern "C" {

FMI2_Export const char* fmi2GetTypesPlatform(void) {
    return fmi2TypesPlatform;
}

FMI2_Export const char* fmi2GetVersion(void) {
    return fmi2Version;
}

// Records the experiment times and loads the defaults. The tolerance is of
// no use to a fixed-step integrator. Only a stop time given with
// stopTimeDefined exactly 1 is taken; once defined it is never withdrawn.
// A NaN stop time is refused and changes nothing: no step could be held to
// it, so every step would silently run up to an internal step past its end.
FMI2_Export fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean /*toleranceDefined*/,
                                           fmi2Real /*tolerance*/, fmi2Real startTime,
                                           fmi2Boolean stopTimeDefined, fmi2Real stopTime) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (stopTimeDefined == 1 && std::isnan(stopTime)) {
        return fmi2Error;
    }
    instance->startTime = startTime;
    if (stopTimeDefined == 1) {
        instance->stopTime = stopTime;
        instance->stopTimeDefined = 1;
    }
    runtime::setStartValues(*instance);
    return fmi2OK;
}

FMI2_Export fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    runtime::initializeModel(*instance);
    return fmi2OK;
}

FMI2_Export fmi2Status fmi2Terminate(fmi2Component c) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    return runtime::terminateModel(*instance, instance->currentTime) != 0 ? fmi2OK : fmi2Error;
}

// Back to the state right after instantiation, clock included, so that a
// host can set up, initialise and run the experiment again from its start.
FMI2_Export fmi2Status fmi2Reset(fmi2Component c) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    fmi::enterInstantiationState(*instance);
    return fmi2OK;
}

}  // extern "C"
