// The co-simulation step. The model keeps its own clock: the communication
// point only serves to compute the end of the step, as in FMI 2.0.
#include "ieee/ieee_arithmetic.h"

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"
#include "runtime/model_runtime.h"

namespace fmi3 = tarvo::fmi3;
namespace runtime = tarvo::runtime;

extern "C" {

// No events and no early return: the step either reaches its end, or stops
// at the stop time, which it cannot pass. That is a step computed only in
// part, after which the simulation cannot go on: fmi3Discard with
// terminateSimulation, the clock where the step stopped, and the message of
// an exceeded finish time.
FMI3_Export fmi3Status fmi3DoStep(fmi3Instance instance, fmi3Float64 currentCommunicationPoint,
                                  fmi3Float64 communicationStepSize,
                                  fmi3Boolean /*noSetFMUStatePriorToCurrentPoint*/,
                                  fmi3Boolean* eventHandlingNeeded,
                                  fmi3Boolean* terminateSimulation, fmi3Boolean* earlyReturn,
                                  fmi3Float64* lastSuccessfulTime) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (eventHandlingNeeded == nullptr || terminateSimulation == nullptr ||
        earlyReturn == nullptr || lastSuccessfulTime == nullptr) {
        fmi3::logMessage(i->host, fmi3Error, fmi3::kNoPlaceForResults);
        return fmi3Error;
    }
    runtime::Model& model = i->model;
    const runtime::StepEnd end =
        runtime::doStep(model, currentCommunicationPoint, communicationStepSize);
    *eventHandlingNeeded = fmi3False;
    *terminateSimulation = end == runtime::StepEnd::stopTimeReached;
    *earlyReturn = fmi3False;
    *lastSuccessfulTime = model.state.currentTime;
    switch (end) {
        case runtime::StepEnd::reachedEnd: return fmi3OK;
        case runtime::StepEnd::stopTimeReached:
            fmi3::logMessage(i->host, fmi3Discard, fmi3::kFinishTimeExceeded,
                             model.state.currentTime, model.state.stopTime);
            return fmi3Discard;
        case runtime::StepEnd::invalidStep:
            fmi3::logMessage(i->host, fmi3Error, fmi3::kNoFiniteEnd, currentCommunicationPoint,
                             communicationStepSize);
            break;
        case runtime::StepEnd::stalled:
            fmi3::logMessage(i->host, fmi3Error, fmi3::kClockStalled, model.state.currentTime);
            break;
    }
    return fmi3Error;
}

}  // extern "C"
