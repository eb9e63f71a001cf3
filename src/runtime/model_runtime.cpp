// Initialisation, the step driver and termination.
#include "runtime/model_runtime.h"

#include <cstring>

#include "equations/equations.h"

namespace tarvo::runtime {

namespace {

// Termination hooks: the model has nothing to release or report.
void terminationHookBegin(ModelInstance&) {}
void terminationHookEnd(ModelInstance&) {}
int terminationHookResult(ModelInstance&) { return 1; }

}  // namespace

void preStepHook(ModelInstance&) {}

int clearWorkArea(ModelInstance& instance) {
    std::memset(&instance.rkWork, 0, sizeof instance.rkWork);
    return 1;
}

int initializeModel(ModelInstance& instance) {
    instance.initialPhase = 1;
    instance.evaluationCount = 0;
    instance.initializationRunning = 1;

    // The order matters: the dynamic equations read what the initial and
    // parameter-dependent equations computed, the outputs what they computed.
    equations::evaluateInitialEquations(instance);
    clearWorkArea(instance);
    equations::evaluateParameterEquations(instance);
    preStepHook(instance);
    equations::evaluateDynamicEquations(instance);
    equations::evaluateOutputEquations(instance);

    instance.initialPhase = 0;
    instance.initializationRunning = 0;
    return 1;
}

int doModelStep(ModelInstance& instance, double time, double targetTime) {
    instance.currentTime = time;
    preStepHook(instance);
    if (rk4Step(instance, targetTime) == 0) {
        return 0;
    }
    // Outputs match the states after every internal step.
    equations::evaluateOutputEquations(instance);
    return 1;
}

int terminateModel(ModelInstance& instance, double time) {
    instance.currentTime = time;
    terminationHookBegin(instance);
    terminationHookEnd(instance);
    return terminationHookResult(instance);
}

}  // namespace tarvo::runtime
