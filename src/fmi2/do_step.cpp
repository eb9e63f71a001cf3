// The co-simulation step and the calls around it. The model keeps its own
// clock: the communication point only serves to compute the end of the step.
#include "ieee/ieee_arithmetic.h"

#include <cmath>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance_state.h"
#include "fmi2/logging.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi {

namespace {

// Hosts compute communication points as start + n * step, so the last step
// of a run may end a few units in the last place beyond the stop time. Such
// an end counts as the stop time itself.
constexpr double kStopTimeTolerance = 1e-9;

double endOfStep(const ModelInstance& instance, double stepEnd) {
    const double stopTime = instance.stopTime;
    if (instance.stopTimeDefined != 0 && std::isfinite(stopTime) && stepEnd > stopTime &&
        stepEnd - stopTime <= kStopTimeTolerance * std::fmax(1.0, std::fabs(stopTime))) {
        return stopTime;
    }
    return stepEnd;
}

fmi2Status doStep(ModelInstance& instance, double communicationPoint, double stepSize) {
    if (stepSize == 0.0) {
        return fmi2OK;  // nothing at all, not even the parameter update
    }
    const double stepEnd = communicationPoint + stepSize;
    if (!std::isfinite(communicationPoint) || !std::isfinite(stepSize) ||
        !std::isfinite(stepEnd)) {
        return fmi2Error;  // an end that cannot be reached: nothing changes
    }
    if (instance.parametersChanged == 1) {
        runtime::updateParameterDependents(instance);
        instance.parametersChanged = 0;
    }
    const double tEnd = endOfStep(instance, stepEnd);
    switch (runtime::runSteps(instance, tEnd)) {
        case runtime::StepRunEnd::reachedEnd: return fmi2OK;
        case runtime::StepRunEnd::stopTimeReached:
            logFinishTimeExceeded(instance.functions, instance.instanceName, instance.currentTime,
                                  instance.stopTime);
            return fmi2Error;
        case runtime::StepRunEnd::refused: break;
    }
    return fmi2Error;
}

}  // namespace

}  // namespace tarvo::fmi

namespace fmi = tarvo::fmi;

extern "C" {

FMI2_Export fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                                  fmi2Real communicationStepSize,
                                  fmi2Boolean /*noSetFMUStatePriorToCurrentPoint*/) {
    tarvo::ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance == nullptr) {
        return fmi2Error;
    }
    return fmi::doStep(*instance, currentCommunicationPoint, communicationStepSize);
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
