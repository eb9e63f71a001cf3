// Classical fourth-order Runge-Kutta with a fixed internal step. The first
// stage reuses the rates of the previous closing evaluation, so a step costs
// four evaluations of the dynamic equations: three stage evaluations, which
// need only give the rates, and the closing full one.
#include "ieee/ieee_arithmetic.h"

#include "runtime/integrator.h"

#include "equations/equations.h"

namespace tarvo::runtime {

namespace {

constexpr double kOneSixth = 0.16666666666666666;

// The states at the start of a step and the four stage increments.
struct RkWork {
    double savedStates[kStateCount];
    double k1[kStateCount];
    double k2[kStateCount];
    double k3[kStateCount];
    double k4[kStateCount];
};

}  // namespace

void countEvaluations(ModelState& state, uint32_t count) {
    // Wraps round instead of overflowing in a run of over 500 million steps.
    state.evaluationCount =
        static_cast<int32_t>(static_cast<uint32_t>(state.evaluationCount) + count);
}

void rk4Step(Model& model, const StepRun& run, const equations::StepInvariants& invariants) {
    ModelState& state = model.state;
    equations::ModelValues& values = state.values;
    // States and rates at their fixed places in the model data, so that the
    // compiler sees they never overlap the work area.
    double* const S = values + equations::kStatesStart;
    const double* const R = values + equations::kRatesStart;
    RkWork w;
    const double t0 = state.currentTime;

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.savedStates[i] = S[i];
    }
    const double h = stepLength(run, t0);
    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k1[i] = R[i] * h;
        S[i] = w.k1[i] * 0.5 + w.savedStates[i];
    }
    state.currentTime = h * 0.5 + t0;
    equations::evaluateDynamicStage(values, model.scratch, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k2[i] = R[i] * h;
        S[i] = w.k2[i] * 0.5 + w.savedStates[i];
    }
    equations::evaluateDynamicStage(values, model.scratch, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k3[i] = R[i] * h;
        S[i] = w.savedStates[i] + w.k3[i];
    }
    state.currentTime = t0 + h;
    equations::evaluateDynamicStage(values, model.scratch, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k4[i] = R[i] * h;
        S[i] = (w.k1[i] + w.k2[i] + w.k2[i] + w.k3[i] + w.k3[i] + w.k4[i]) * kOneSixth +
               w.savedStates[i];
    }
    // The closing evaluation leaves rates and variables consistent with the
    // new states; its rates are the next step's first stage.
    equations::evaluateDynamicEquations(values, model.scratch, invariants);
    countEvaluations(state, 4);
}

}  // namespace tarvo::runtime
