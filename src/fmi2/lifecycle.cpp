// Experiment set-up, initialisation, reset and termination, and the two
// information strings.
#include "ieee/ieee_arithmetic.h"

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance.h"
#include "runtime/model_runtime.h"

namespace fmi2 = tarvo::fmi2;
namespace runtime = tarvo::runtime;

extern "C" {

FMI2_Export const char* fmi2GetTypesPlatform(void) {
    return fmi2TypesPlatform;
}

FMI2_Export const char* fmi2GetVersion(void) {
    return fmi2Version;
}

// Records the experiment times and loads the defaults. The tolerance is of
// no use to a fixed-step integrator.
FMI2_Export fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean /*toleranceDefined*/,
                                           fmi2Real /*tolerance*/, fmi2Real startTime,
                                           fmi2Boolean stopTimeDefined, fmi2Real stopTime) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    if (!runtime::takeExperiment(instance->model, startTime, stopTimeDefined, stopTime)) {
        return fmi2Error;
    }
    runtime::loadStartValues(instance->model);
    return fmi2OK;
}

FMI2_Export fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    runtime::initializeModel(instance->model);
    return fmi2OK;
}

// The model has nothing to release or report at the end of a run; every
// value can still be read.
FMI2_Export fmi2Status fmi2Terminate(fmi2Component c) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

// Back to the state right after instantiation, clock included, so that a
// host can set up, initialise and run the experiment again from its start.
FMI2_Export fmi2Status fmi2Reset(fmi2Component c) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    runtime::resetModel(instance->model);
    return fmi2OK;
}

}  // extern "C"
