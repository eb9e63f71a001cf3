// The inner steps of a run with the fast equations: every internal step
// that another step of the same run follows, taken in one go with the
// states, the rates and the carried values out of the record, in the pairs
// the equations compute with (equations::StatePairs). A Runge-Kutta step
// works state by state, so any grouping of the states gives the same bits;
// this one lets each stage hand states and rates to the equations as they
// are, each state formed where the equations first need it and each rate
// taken as soon as they give it.
//
// Nothing of these steps but their end is ever seen: the host reads after
// the run, and the run's last step, which rk4Step takes on the record,
// leaves the record as it has always been left. So the four evaluations of
// an inner step, its closing one too, give only the rates and the carried
// values, and nothing goes back into the record until the last inner step.
#include "equations/dynamic_equations_fast.h"
#include "runtime/model_runtime.h"

namespace tarvo::runtime {

namespace {

using equations::CarriedValues;
using equations::kS0S1;
using equations::kStatePairCount;
using equations::StatePair;
using equations::StatePairs;
using matrix::Pair;

constexpr double kOneSixth = 0.16666666666666666;

using StepWork = InnerStepWork;

// The four evaluations of a step, as stages: the states each gives the
// equations, and what each makes of the rates it is given.
struct FirstStage {
    StepWork& w;
    const StatePairs& saved;
    double h;
    Pair state(StatePair i) const { return (w.rates.of[i] * h) * 0.5 + saved.of[i]; }
    void rate(StatePair i, Pair r) { w.k2.of[i] = r * h; }
};

struct SecondStage {
    StepWork& w;
    const StatePairs& saved;
    double h;
    Pair state(StatePair i) const { return w.k2.of[i] * 0.5 + saved.of[i]; }
    void rate(StatePair i, Pair r) { w.k3.of[i] = r * h; }
};

// Its rates complete the step: the new states are formed, each sum left to
// right, (k1 + k2 + k2 + k3 + k3 + k4) / 6 + saved.
struct ThirdStage {
    StepWork& w;
    const StatePairs& saved;
    StatePairs& next;
    double h;
    Pair state(StatePair i) const { return saved.of[i] + w.k3.of[i]; }
    void rate(StatePair i, Pair r) {
        const Pair k1 = w.rates.of[i] * h;
        const Pair k4 = r * h;
        next.of[i] = (k1 + w.k2.of[i] + w.k2.of[i] + w.k3.of[i] + w.k3.of[i] + k4) * kOneSixth +
                     saved.of[i];
    }
};

// The closing evaluation at the new states: its rates are the next step's
// first stage.
struct ClosingStage {
    StepWork& w;
    const StatePairs& next;
    Pair state(StatePair i) const { return next.of[i]; }
    void rate(StatePair i, Pair r) { w.rates.of[i] = r; }
};

}  // namespace

uint32_t takeInnerSteps(ModelInstance& instance, double tEnd,
                        const equations::StepInvariants& invariants, InnerStepWork& w) {
    // Nothing in a run changes these, nor stopRequested.
    const bool stopTimeDefined = instance.stopTimeDefined != 0;
    const double stopTime = instance.stopTime;
    const double stepSize = instance.stepSize;
    const double target = (stopTimeDefined && !(tEnd < stopTime)) ? stopTime : tEnd;
    if (instance.stopRequested == 1) {
        return 0;
    }
    // The step from t as rk4Step takes it, and whether the run goes on after
    // it: its end short of tEnd and of the stop time, and the clock moved.
    const auto stepLength = [=](double t) {
        return (target - t < stepSize) ? target - t : stepSize;
    };
    const auto anotherFollows = [=](double t, double next) {
        return tEnd > next && !(stopTimeDefined && next >= stopTime) && next > t;
    };
    double t = instance.currentTime;
    double h = stepLength(t);
    double next = t + h;
    if (!anotherFollows(t, next)) {
        return 0;
    }

    double* const data = instance.modelData;
    w.states[0] = equations::loadStatePairs(data + kStatesStart);
    w.rates = equations::loadStatePairs(data + kRatesStart);
    CarriedValues carried = equations::loadCarriedValues(data + kVariablesStart);
    uint32_t steps = 0;
    // The states a step starts from, and the ones it ends with: the two
    // halves of w.states in turn.
    StatePairs* saved = &w.states[0];
    StatePairs* after = &w.states[1];
    do {
        // (R[0], R[1]) are constants, which the equations leave to the
        // integrator.
        const Pair constantRates = w.rates.of[kS0S1];
        FirstStage first{w, *saved, h};
        equations::evaluateDynamicPairs<false>(instance, invariants, first, carried);
        first.rate(kS0S1, constantRates);
        SecondStage second{w, *saved, h};
        equations::evaluateDynamicPairs<false>(instance, invariants, second, carried);
        second.rate(kS0S1, constantRates);
        ThirdStage third{w, *saved, *after, h};
        equations::evaluateDynamicPairs<false>(instance, invariants, third, carried);
        third.rate(kS0S1, constantRates);
        ClosingStage closing{w, *after};
        equations::evaluateDynamicPairs<false>(instance, invariants, closing, carried);
        StatePairs* const swap = saved;
        saved = after;
        after = swap;
        ++steps;
        t = next;
        h = stepLength(t);
        next = t + h;
    } while (anotherFollows(t, next));

    equations::storeStatePairs(data + kStatesStart, *saved);
    equations::storeStatePairs(data + kRatesStart, w.rates);
    equations::storeCarriedValues(data + kVariablesStart, carried);
    instance.currentTime = t;
    // Four evaluations per step, counted as one by one would count them.
    instance.evaluationCount = static_cast<int32_t>(
        static_cast<uint32_t>(instance.evaluationCount) + 4u * steps);
    instance.majorStep = 1;
    return steps;
}

}  // namespace tarvo::runtime
