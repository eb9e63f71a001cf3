// The inner steps of a run with the fast equations: every internal step
// that another step of the same run follows, taken in one go with the
// states, the rates and the carried values out of the model data, in the pairs
// the equations compute with (equations::StatePairs). A Runge-Kutta step
// works state by state, so any grouping of the states gives the same bits;
// this one lets each stage hand states and rates to the equations as they
// are, each state formed where the equations first need it and each rate
// taken as soon as they give it.
//
// Nothing of these steps but their end is ever seen: the host reads after
// the run, and the run's last step, which rk4Step takes on the model data,
// leaves it as every step leaves it. So the four evaluations of an inner
// step, its closing one too, give only the rates and the carried values,
// and nothing goes back into the model data until the last inner step.
#include "ieee/ieee_arithmetic.h"

#include "equations/dynamic_equations_fast.h"
#include "runtime/integrator.h"

namespace tarvo::runtime {

namespace {

using equations::CarriedValues;
using equations::CosSinMemo;
using equations::CosSinUse;
using equations::kRatesStart;
using equations::kS0S1;
using equations::kS7S2;
using equations::kStatePairCount;
using equations::kStatesStart;
using equations::kVariablesStart;
using equations::StatePair;
using equations::StatePairs;
using matrix::Pair;

constexpr Pair kHalf = {0.5, 0.5};
constexpr Pair kOneSixth = {0.16666666666666666, 0.16666666666666666};

// Between the stages of a step: what one stage left in the work area is
// read back from there by the next, not carried across the stage's calls
// of cos and sin in registers and copies of the compiler's own. An empty
// statement that the compiler must assume reads and writes any memory.
inline void keepInMemory() {
#if defined(__GNUC__)
    asm volatile("" ::: "memory");
#endif
}

// What a Runge-Kutta step keeps between its stages, for every pair of
// states: the states it starts from (which become the ones it ends with),
// the rates of the closing evaluation before it (k1 = rates h) and the
// increments k2 and k3.
struct StepWork {
    StatePairs saved;
    StatePairs rates;
    StatePairs k1;
    StatePairs k2;
    StatePairs k3;
    CarriedValues carried;
    CosSinMemo cosSin;
    Pair half;
    // (R[0], R[1]) are constants of the parameter equations, which the
    // equations leave to the integrator: for them every stage has the same
    // increment k = (R[0], R[1]) h, so the stage states and the sum of a step
    // are formed once per step length.
    double constantsStep;
    Pair constantHalfIncrement;  // k 0.5
    Pair constantIncrement;      // k
    Pair constantSixthOfSum;     // (k + k + k + k + k + k) / 6
};

inline void prepareConstantRates(StepWork& w, double h) {
    const Pair k = w.rates.of[kS0S1] * h;
    w.constantsStep = h;
    w.constantHalfIncrement = k * kHalf;
    w.constantIncrement = k;
    w.constantSixthOfSum = (k + k + k + k + k + k) * kOneSixth;
}

// The angle's state S[7] is the first lane of its pair. Each stage forms
// its S[7] from the R[7] of the stage before, handed on as soon as the
// equations give it; the new S[7] of a step is formed as soon as its last
// R[7] is known, apart from its pair. Neither waits for a call of cos and
// sin, so both stay in registers.
struct AngleChain {
    double rate;   // R[7] of the stage before
    double after;  // S[7] at the end of the step
};

// The four evaluations of a step, as stages: the states each gives the
// equations, and what each makes of the rates it is given. The first two
// take their states half an increment on (k1, then k2) and give the next
// increment (k2, then k3).
//
// The second stage's angle, S[7] + (R[7] h) 0.5, differs from the first's
// only in R[7], which moves little from stage to stage: once half an
// increment is small beside the angle, both round to the same double.
// Likewise the closing angle, S[7] + (k1 + 2 k2 + 2 k3 + k4) / 6, and the
// third's, S[7] + k3. The first and the third stage therefore keep the cos
// and sin of their angle, and the second and the closing one take them
// when their angle is the same, bit for bit, instead of calling cos and
// sin again (how often, docs/performance.md).
template <StatePairs StepWork::*kIncrementIn, StatePairs StepWork::*kIncrementOut, CosSinUse kUse>
struct HalfwayStage {
    static constexpr bool kLimitsOrdered = true;
    static constexpr CosSinUse kCosSin = kUse;
    StepWork& w;
    AngleChain& a;
    double h;
    double angleState() const { return (a.rate * h) * 0.5 + w.saved.of[kS7S2][0]; }
    void angleRate(double r7) { a.rate = r7; }
    Pair state(StatePair i) const {
        if (i == kS0S1) {
            return w.constantHalfIncrement + w.saved.of[i];
        }
        return (w.*kIncrementIn).of[i] * w.half + w.saved.of[i];
    }
    void rate(StatePair i, Pair r) { (w.*kIncrementOut).of[i] = r * h; }
    CosSinMemo& cosSinMemo() { return w.cosSin; }
};
using FirstStage = HalfwayStage<&StepWork::k1, &StepWork::k2, CosSinUse::kKeep>;
using SecondStage = HalfwayStage<&StepWork::k2, &StepWork::k3, CosSinUse::kReuse>;

// Its rates complete the step: the new states, each sum formed left to
// right, (k1 + k2 + k2 + k3 + k3 + k4) / 6 + saved, take the place of the
// states the step started from. The equations ask for the states of a pair
// before they give its rates, so no state is asked for after it changed.
struct ThirdStage {
    static constexpr bool kLimitsOrdered = true;
    static constexpr CosSinUse kCosSin = CosSinUse::kKeep;
    StepWork& w;
    AngleChain& a;
    double h;
    double angleState() const { return w.saved.of[kS7S2][0] + a.rate * h; }
    void angleRate(double r7) {
        const double k1 = w.k1.of[kS7S2][0];
        const double k2 = w.k2.of[kS7S2][0];
        const double k3 = w.k3.of[kS7S2][0];
        const double k4 = r7 * h;
        a.after = (k1 + k2 + k2 + k3 + k3 + k4) * kOneSixth[0] + w.saved.of[kS7S2][0];
    }
    Pair state(StatePair i) const {
        if (i == kS0S1) {
            return w.saved.of[i] + w.constantIncrement;
        }
        return w.saved.of[i] + w.k3.of[i];
    }
    void rate(StatePair i, Pair r) {
        const Pair k1 = w.k1.of[i];
        const Pair k4 = r * h;
        w.saved.of[i] =
            (k1 + w.k2.of[i] + w.k2.of[i] + w.k3.of[i] + w.k3.of[i] + k4) * kOneSixth +
            w.saved.of[i];
    }
    // The constant rates' step.
    void completeConstantRates() { w.saved.of[kS0S1] = w.constantSixthOfSum + w.saved.of[kS0S1]; }
    CosSinMemo& cosSinMemo() { return w.cosSin; }
};

// The closing evaluation at the new states: its rates are the next step's
// first stage, k1 = rates h for the next step's length h. After the last
// inner step the factor is 1.0, which changes no bit of a rate (never a
// signalling NaN: every rate is the result of an arithmetic operation), so
// k1 then holds the rates the record keeps.
struct ClosingStage {
    static constexpr bool kLimitsOrdered = true;
    static constexpr CosSinUse kCosSin = CosSinUse::kReuse;
    StepWork& w;
    AngleChain& a;
    double nextH;
    double angleState() const { return a.after; }
    void angleRate(double r7) { a.rate = r7; }
    Pair state(StatePair i) const { return w.saved.of[i]; }
    void rate(StatePair i, Pair r) { w.k1.of[i] = r * nextH; }
    CosSinMemo& cosSinMemo() { return w.cosSin; }
};

}  // namespace

void takeInnerSteps(Model& model, const StepRun& runToTake,
                    const equations::StepInvariants& invariants) {
    // A copy the compiler keeps in registers across the stages.
    const StepRun run = runToTake;
    // Drive limits in the wrong order or NaN are left to rk4Step: the
    // stages here limit the drive values only between ordered limits.
    if (!invariants.limitsOrdered) {
        return;
    }
    ModelState& state = model.state;
    double t = state.currentTime;
    double h = stepLength(run, t);
    double next = t + h;
    if (!anotherStepFollows(run, t, next)) {
        return;
    }

    equations::ModelValues& values = state.values;
    StepWork w;
    w.saved = equations::loadStatePairs(values + kStatesStart);
    w.rates = equations::loadStatePairs(values + kRatesStart);
    AngleChain angle{w.rates.of[kS7S2][0], 0.0};
    w.half = kHalf;
    w.carried = equations::loadCarriedValues(values + kVariablesStart);
    CarriedValues& carried = w.carried;
    for (int i = 0; i < kStatePairCount; ++i) {
        w.k1.of[i] = w.rates.of[i] * h;
    }
    uint32_t steps = 0;
    bool anotherStep = true;
    prepareConstantRates(w, h);
    do {
        if (h != w.constantsStep) {
            prepareConstantRates(w, h);
        }
        FirstStage first{w, angle, h};
        equations::evaluateDynamicPairs<false>(values, model.scratch, invariants, first, carried);
        keepInMemory();
        SecondStage second{w, angle, h};
        equations::evaluateDynamicPairs<false>(values, model.scratch, invariants, second,
                                               carried);
        keepInMemory();
        ThirdStage third{w, angle, h};
        equations::evaluateDynamicPairs<false>(values, model.scratch, invariants, third, carried);
        third.completeConstantRates();
        keepInMemory();
        ++steps;
        t = next;
        h = stepLength(run, t);
        next = t + h;
        anotherStep = anotherStepFollows(run, t, next);
        ClosingStage closing{w, angle, anotherStep ? h : 1.0};
        equations::evaluateDynamicPairs<false>(values, model.scratch, invariants, closing,
                                               carried);
        keepInMemory();
    } while (anotherStep);
    // The constant rates (R[0], R[1]) are never given: they stay as read.
    for (int i = 0; i < kStatePairCount; ++i) {
        if (i != kS0S1) {
            w.rates.of[i] = w.k1.of[i];
        }
    }

    equations::storeStatePairs(values + kStatesStart, w.saved);
    equations::storeStatePairs(values + kRatesStart, w.rates);
    equations::storeCarriedValues(values + kVariablesStart, carried);
    state.currentTime = t;
    countEvaluations(state, 4u * steps);
}

}  // namespace tarvo::runtime
