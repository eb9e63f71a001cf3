// Initialisation, the step driver and termination.
#include "matrix/ieee_arithmetic.h"

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

void beginStepRun(ModelInstance& instance, StepRun& run) {
    equations::prepareStepInvariants(instance, run.invariants);
}

int doModelStep(ModelInstance& instance, double time, double targetTime, const StepRun& run) {
    instance.currentTime = time;
    preStepHook(instance);
    return rk4Step(instance, targetTime, run.invariants);
}

void endStepRun(ModelInstance& instance) {
    // Outputs match the states after the run's last internal step.
    equations::evaluateOutputEquations(instance);
}

int doModelStep(ModelInstance& instance, double time, double targetTime) {
    StepRun run;
    beginStepRun(instance, run);
    if (doModelStep(instance, time, targetTime, run) == 0) {
        return 0;
    }
    endStepRun(instance);
    return 1;
}

int terminateModel(ModelInstance& instance, double time) {
    instance.currentTime = time;
    terminationHookBegin(instance);
    terminationHookEnd(instance);
    return terminationHookResult(instance);
}

}  // namespace tarvo::runtime
