// A fresh model, set-up, initialisation, values, and the step driver.
#include "ieee/ieee_arithmetic.h"

#include "runtime/model_runtime.h"

#include <cmath>
#include <cstring>

#include "equations/equations.h"
#include "matrix/scalar.h"
#include "runtime/integrator.h"
#include "runtime/start_values.h"
#include "runtime/step_run.h"

namespace tarvo::runtime {

namespace {

constexpr double kInternalStepSize = 1e-6;

// An end beyond the stop time by at most this much, relative to the stop
// time (and at least absolutely), counts as the stop time.
constexpr double kStopTimeTolerance = 1e-9;

// The internal steps of a run: from the clock while the end is ahead and
// the stop time not reached. Parameters and inputs cannot change in
// between, so what the equations take from them alone is gathered once;
// and the outputs, which nothing but the host reads, are brought up to
// date once, after the last step. The values a host then reads are those
// of the outputs evaluated after every step.
StepEnd runSteps(Model& model, const StepRun& run) {
    double& clock = model.state.currentTime;
    if (!(run.end > clock)) {
        return StepEnd::reachedEnd;
    }
    if (stopTimeReached(run, clock)) {
        return StepEnd::stopTimeReached;
    }
    equations::StepInvariants invariants;
    equations::prepareStepInvariants(model.state.values, model.scratch, invariants);
    takeInnerSteps(model, run, invariants);
    double stepStart = clock;
    do {
        stepStart = clock;
        rk4Step(model, run, invariants);
    } while (anotherStepFollows(run, stepStart, clock));
    equations::evaluateOutputEquations(model.state.values);
    if (!(clock > stepStart)) {
        return StepEnd::stalled;
    }
    return run.end > clock ? StepEnd::stopTimeReached : StepEnd::reachedEnd;
}

}  // namespace

StepRun planStepRun(const ModelState& state, double stepEnd) {
    const bool defined = state.stopTimeDefined != 0;
    const double stopTime = state.stopTime;
    double end = stepEnd;
    if (defined && std::isfinite(stopTime) && stepEnd > stopTime &&
        stepEnd - stopTime <= kStopTimeTolerance * std::fmax(1.0, std::fabs(stopTime))) {
        end = stopTime;
    }
    const double target = (defined && !(end < stopTime)) ? stopTime : end;
    return StepRun{end, target, stopTime, state.stepSize, defined};
}

void resetModel(Model& model) {
    std::memset(&model, 0, sizeof model);
    model.state.stepSize = kInternalStepSize;
}

bool takeExperiment(Model& model, double startTime, int32_t stopTimeDefined, double stopTime) {
    if (stopTimeDefined == 1 && std::isnan(stopTime)) {
        return false;
    }
    ModelState& state = model.state;
    state.startTime = startTime;
    if (stopTimeDefined == 1) {
        state.stopTime = stopTime;
        state.stopTimeDefined = 1;
    }
    return true;
}

void loadStartValues(Model& model) {
    setStartValues(model.state.values);
}

void initializeModel(Model& model) {
    equations::ModelValues& values = model.state.values;
    // The order matters: the dynamic equations read what the initial and
    // parameter-dependent equations computed, the outputs what they computed.
    equations::evaluateInitialEquations(values);
    equations::evaluateParameterEquations(values);
    equations::evaluateDynamicEquations(values, model.scratch);
    equations::evaluateOutputEquations(values);
    model.state.evaluationCount = 1;
}

void setValue(Model& model, uint32_t vr, double value) {
    model.state.values[vr] = value;
    if (isParameterReference(vr)) {
        model.state.parametersChanged = 1;
    }
}

int32_t integerOf(double value) {
    return matrix::truncateToInt32(value);
}

StepEnd doStep(Model& model, double communicationPoint, double stepSize) {
    if (stepSize == 0.0) {
        return StepEnd::reachedEnd;
    }
    const double stepEnd = communicationPoint + stepSize;
    if (!std::isfinite(communicationPoint) || !std::isfinite(stepSize) ||
        !std::isfinite(stepEnd)) {
        return StepEnd::invalidStep;
    }
    if (model.state.parametersChanged == 1) {
        equations::evaluateParameterEquations(model.state.values);
        model.state.parametersChanged = 0;
    }
    return runSteps(model, planStepRun(model.state, stepEnd));
}

}  // namespace tarvo::runtime
