// The inner steps of a run with the fast equations: every internal step
// that another step of the same run follows, taken in one go with the
// states, the rates and the carried values in registers, in the pairs the
// equations compute with (equations::StatePairs). A Runge-Kutta step works
// state by state, so any grouping of the states gives the same bits; this
// one lets the stages hand states and rates to the equations as they are.
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
using equations::kStatePairCount;
using equations::StatePairs;
using matrix::Pair;

constexpr double kOneSixth = 0.16666666666666666;

}  // namespace

uint32_t takeInnerSteps(ModelInstance& instance, double tEnd,
                        const equations::StepInvariants& invariants) {
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
    StatePairs s = equations::loadStatePairs(data + kStatesStart);
    StatePairs r = equations::loadStatePairs(data + kRatesStart);
    CarriedValues carried = equations::loadCarriedValues(data + kVariablesStart);
    uint32_t steps = 0;
    do {
        const StatePairs saved = s;
        StatePairs sum;  // k1 + k2 + k2 + k3 + k3, formed left to right
        StatePairs stage;
        for (int i = 0; i < kStatePairCount; ++i) {
            const Pair k1 = r.of[i] * h;
            sum.of[i] = k1;
            stage.of[i] = k1 * 0.5 + saved.of[i];
        }
        equations::evaluateDynamicPairs<false>(instance, invariants, stage, carried, r);
        for (int i = 0; i < kStatePairCount; ++i) {
            const Pair k2 = r.of[i] * h;
            sum.of[i] = sum.of[i] + k2;
            sum.of[i] = sum.of[i] + k2;
            stage.of[i] = k2 * 0.5 + saved.of[i];
        }
        equations::evaluateDynamicPairs<false>(instance, invariants, stage, carried, r);
        for (int i = 0; i < kStatePairCount; ++i) {
            const Pair k3 = r.of[i] * h;
            sum.of[i] = sum.of[i] + k3;
            sum.of[i] = sum.of[i] + k3;
            stage.of[i] = saved.of[i] + k3;
        }
        equations::evaluateDynamicPairs<false>(instance, invariants, stage, carried, r);
        for (int i = 0; i < kStatePairCount; ++i) {
            const Pair k4 = r.of[i] * h;
            s.of[i] = (sum.of[i] + k4) * kOneSixth + saved.of[i];
        }
        // The closing evaluation: its rates are the next step's first stage.
        equations::evaluateDynamicPairs<false>(instance, invariants, s, carried, r);
        ++steps;
        t = next;
        h = stepLength(t);
        next = t + h;
    } while (anotherFollows(t, next));

    equations::storeStatePairs(data + kStatesStart, s);
    equations::storeStatePairs(data + kRatesStart, r);
    equations::storeCarriedValues(data + kVariablesStart, carried);
    instance.currentTime = t;
    // Four evaluations per step, counted as one by one would count them.
    instance.evaluationCount = static_cast<int32_t>(
        static_cast<uint32_t>(instance.evaluationCount) + 4u * steps);
    instance.majorStep = 1;
    return steps;
}

}  // namespace tarvo::runtime
