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

}  // namespace

int rk4Step(ModelInstance& instance, double targetTime,
            const equations::StepInvariants& invariants) {
    // States and rates at their fixed places in the record's own data, so
    // that the compiler sees they never overlap the work area.
    double* const S = instance.modelData + kStatesStart;
    const double* const R = instance.modelData + kRatesStart;
    RkWork& w = instance.rkWork;
    const double t0 = instance.currentTime;

    targetTime = stepTarget(instance.stopTimeDefined != 0, instance.stopTime, targetTime);
    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.savedStates[i] = S[i];
    }
    const double h = stepLength(targetTime, t0, instance.stepSize);
    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k1[i] = R[i] * h;
        S[i] = w.k1[i] * 0.5 + w.savedStates[i];
    }
    instance.majorStep = 0;
    instance.currentTime = h * 0.5 + t0;
    equations::evaluateDynamicStage(instance, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k2[i] = R[i] * h;
        S[i] = w.k2[i] * 0.5 + w.savedStates[i];
    }
    equations::evaluateDynamicStage(instance, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k3[i] = R[i] * h;
        S[i] = w.savedStates[i] + w.k3[i];
    }
    instance.currentTime = t0 + h;
    equations::evaluateDynamicStage(instance, invariants);

    for (uint32_t i = 0; i < kStateCount; ++i) {
        w.k4[i] = R[i] * h;
        S[i] = (w.k1[i] + w.k2[i] + w.k2[i] + w.k3[i] + w.k3[i] + w.k4[i]) * kOneSixth +
               w.savedStates[i];
    }
    // The closing evaluation leaves rates and variables consistent with the
    // new states; its rates are the next step's first stage.
    instance.majorStep = 1;
    equations::evaluateDynamicEquations(instance, invariants);
    return 1;
}

}  // namespace tarvo::runtime
