// The co-simulation step and the calls around it. The model keeps its own
// clock: the communication point only serves to compute the end of the step.
#include "ieee/ieee_arithmetic.h"

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance.h"
#include "fmi2/logging.h"
#include "runtime/model_runtime.h"

namespace fmi2 = tarvo::fmi2;
namespace runtime = tarvo::runtime;

extern "C" {

FMI2_Export fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                                  fmi2Real communicationStepSize,
                                  fmi2Boolean /*noSetFMUStatePriorToCurrentPoint*/) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    runtime::Model& model = instance->model;
    switch (runtime::doStep(model, currentCommunicationPoint, communicationStepSize)) {
        case runtime::StepEnd::reachedEnd: return fmi2OK;
        case runtime::StepEnd::stopTimeReached:
            fmi2::logFinishTimeExceeded(instance->host.functions, instance->host.instanceName,
                                        model.state.currentTime, model.state.stopTime);
            return fmi2Error;
        case runtime::StepEnd::invalidStep:
        case runtime::StepEnd::stalled: break;
    }
    return fmi2Error;
}

// Steps run to completion on the caller's thread: there is nothing to cancel
// and no status to report.
FMI2_Export fmi2Status fmi2CancelStep(fmi2Component /*c*/) {
    return fmi2Error;
}

FMI2_Export fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind /*s*/,
                                     fmi2Status* /*value*/) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind /*s*/,
                                         fmi2Real* /*value*/) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind /*s*/,
                                            fmi2Integer* /*value*/) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind /*s*/,
                                            fmi2Boolean* /*value*/) {
    return c == nullptr ? fmi2Error : fmi2OK;
}

FMI2_Export fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind /*s*/,
                                           fmi2String* /*value*/) {
    return c == nullptr ? fmi2Error : fmi2Discard;
}

}  // extern "C"
