// Initialisation, termination and reset.
#include "ieee/ieee_arithmetic.h"

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"
#include "runtime/model_runtime.h"

namespace fmi3 = tarvo::fmi3;
namespace runtime = tarvo::runtime;

extern "C" {

// Records the experiment; the start values, the host's own among them,
// stay as they are. The tolerance is of no use to a fixed-step integrator.
FMI3_Export fmi3Status fmi3EnterInitializationMode(
    fmi3Instance instance, fmi3Boolean /*toleranceDefined*/, fmi3Float64 /*tolerance*/,
    fmi3Float64 startTime, fmi3Boolean stopTimeDefined, fmi3Float64 stopTime) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (!runtime::takeExperiment(i->model, startTime, stopTimeDefined ? 1 : 0, stopTime)) {
        fmi3::logMessage(i->host, fmi3Error, fmi3::kNanStopTime);
        return fmi3Error;
    }
    return fmi3OK;
}

FMI3_Export fmi3Status fmi3ExitInitializationMode(fmi3Instance instance) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    runtime::initializeModel(i->model);
    return fmi3OK;
}

// The model has nothing to release or report at the end of a run; every
// value can still be read.
FMI3_Export fmi3Status fmi3Terminate(fmi3Instance instance) {
    return instance == nullptr ? fmi3Error : fmi3OK;
}

// Back to the state right after instantiation, start values and clock
// included.
FMI3_Export fmi3Status fmi3Reset(fmi3Instance instance) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    runtime::resetModel(i->model);
    runtime::loadStartValues(i->model);
    return fmi3OK;
}

}  // extern "C"
