// Initialisation, the step driver and termination.
#include "ieee/ieee_arithmetic.h"

#include "runtime/model_runtime.h"

#include <cstring>

#include "equations/equations.h"
#include "matrix/scalar.h"
#include "runtime/integrator.h"

namespace tarvo::runtime {

namespace {

// Termination hooks: the model has nothing to release or report.
void terminationHookBegin(ModelInstance&) {}
void terminationHookEnd(ModelInstance&) {}
int terminationHookResult(ModelInstance&) {
    return 1;
}

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

void updateParameterDependents(ModelInstance& instance) {
    equations::evaluateParameterEquations(instance);
}

int doModelStep(ModelInstance& instance, double time, double targetTime) {
    equations::StepInvariants invariants;
    equations::prepareStepInvariants(instance, invariants);
    instance.currentTime = time;
    preStepHook(instance);
    if (rk4Step(instance, targetTime, invariants) == 0) {
        return 0;
    }
    equations::evaluateOutputEquations(instance);
    return 1;
}

StepRunEnd runSteps(ModelInstance& instance, double tEnd) {
    equations::StepInvariants invariants;
    bool running = false;  // a run that takes no step touches nothing
    StepRunEnd end = StepRunEnd::reachedEnd;
    while (tEnd > instance.currentTime) {
        if (instance.stopTimeDefined != 0 && instance.currentTime >= instance.stopTime) {
            end = StepRunEnd::stopTimeReached;
            break;
        }
        if (instance.stopRequested == 1) {
            end = StepRunEnd::refused;
            break;
        }
        if (!running) {
            equations::prepareStepInvariants(instance, invariants);
            running = true;
        }
        if (takeInnerSteps(instance, tEnd, invariants) > 0) {
            continue;  // the step that follows them comes next
        }
        const double stepStart = instance.currentTime;
        preStepHook(instance);
        if (rk4Step(instance, tEnd, invariants) == 0 || !(instance.currentTime > stepStart)) {
            end = StepRunEnd::refused;
            break;
        }
    }
    if (running) {
        // Outputs match the states after the run's last internal step.
        equations::evaluateOutputEquations(instance);
    }
    return end;
}

int32_t integerOf(double value) {
    return matrix::truncateToInt32(value);
}

int terminateModel(ModelInstance& instance, double time) {
    instance.currentTime = time;
    terminationHookBegin(instance);
    terminationHookEnd(instance);
    return terminationHookResult(instance);
}

}  // namespace tarvo::runtime
