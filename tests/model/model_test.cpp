// The model runtime and its equations, driven directly on a record: what a
// host cannot see in the shared vectors (carried values, thresholds,
// clamps, quantisation edges, the integrator's bookkeeping).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "equations/equations.h"
#include "runtime/integrator.h"
#include "runtime/model_runtime.h"
#include "runtime/model_variables.h"
#include "runtime/start_values.h"

namespace tarvo {
namespace {

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::resetModel(m);
        runtime::setStartValues(m.state.values);
    }

    void initialise() { runtime::initializeModel(m); }

    // One integration step towards target, with the invariants of the
    // current parameters and inputs.
    static void rk4(runtime::Model& model, double target) {
        equations::StepInvariants invariants;
        equations::prepareStepInvariants(model.state.values, model.scratch, invariants);
        runtime::rk4Step(model, runtime::planStepRun(model.state, target), invariants);
    }
    void rk4(double target) { rk4(m, target); }

    // One step towards target and the outputs after it, as a run ends.
    static void stepAndOutputs(runtime::Model& model, double target) {
        rk4(model, target);
        equations::evaluateOutputEquations(model.state.values);
    }

    // Runs the dynamic equations once more on the current data.
    void evaluate() { equations::evaluateDynamicEquations(m.state.values, m.scratch); }

    double* C() { return m.state.values + equations::kConstantsStart; }
    double* P() { return m.state.values + equations::kParametersStart; }
    double* IV() { return m.state.values + equations::kInitialValuesStart; }
    double* V() { return m.state.values + equations::kVariablesStart; }
    double* S() { return m.state.values + equations::kStatesStart; }
    double* R() { return m.state.values + equations::kRatesStart; }

    runtime::Model m;
};

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(ModelTest, SetUpLoadsConstantDefaultsAndZeroStartValues) {
    using runtime::valueReferenceOf;
    EXPECT_EQ(m.state.values[valueReferenceOf("pi")], 3.141592653589793);
    for (uint32_t i = 0; i < runtime::kParameterCount; ++i) {
        EXPECT_TRUE(sameBits(P()[i], runtime::kParameterDefaults[i])) << "P[" << i << "]";
    }
    EXPECT_EQ(m.state.values[valueReferenceOf("level.capacity")], 2500.0);
    EXPECT_EQ(m.state.values[valueReferenceOf("pattern.selector")], 2.0);
    EXPECT_EQ(m.state.values[valueReferenceOf("parameters[46]")], 100000.0);
    for (uint32_t vr = runtime::kInitialValuesStart; vr < runtime::kModelDataSize; ++vr) {
        EXPECT_EQ(m.state.values[vr], 0.0) << vr;
    }
}

TEST_F(ModelTest, SetUpDiscardsHostValuesButNotVariables) {
    P()[0] = 1.0;
    IV()[3] = 4.0;
    S()[3] = 4.0;
    V()[10] = 9.0;  // a variable: set-up leaves it alone
    runtime::setStartValues(m.state.values);
    EXPECT_EQ(P()[0], 2500.0);
    EXPECT_EQ(IV()[3], 0.0);
    EXPECT_EQ(S()[3], 0.0);
    EXPECT_EQ(V()[10], 9.0);
}

TEST_F(ModelTest, InitialisationWithDefaults) {
    initialise();
    const double pattern[5] = {1, 1, 0, 0, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(V()[2 + i], pattern[i]);
    EXPECT_EQ(R()[1], 1.0);
    EXPECT_EQ(R()[0], 7.0);
    EXPECT_EQ(V()[31], 0.829);
    EXPECT_EQ(V()[32], 0.0);
    EXPECT_EQ(V()[33], 0.0);
    EXPECT_EQ(V()[34], 0.829);
    EXPECT_EQ(V()[51], 345.4875);
    EXPECT_NEAR(V()[52], 127.52235, 1e-9);
    EXPECT_NEAR(V()[53], 473.00985, 1e-9);
    EXPECT_NEAR(V()[29], 0.0016979482, 1e-12);
    EXPECT_EQ(V()[20], 0.0185);
    EXPECT_EQ(V()[21], -0.049);
    EXPECT_EQ(V()[27], 0.0185);
    EXPECT_EQ(V()[28], 0.049);
    EXPECT_EQ(V()[68], 0.5);
    EXPECT_EQ(V()[72], 0.5);
    // First evaluation of the dynamic equations: angle 0, full level.
    EXPECT_EQ(V()[39], 1.0);
    EXPECT_TRUE(sameBits(V()[40], -0.0));
    EXPECT_EQ(V()[41], 0.0);
    EXPECT_EQ(V()[42], 1.0);
    EXPECT_EQ(V()[7], 2500.0);
    EXPECT_EQ(V()[10], 1.0);
    EXPECT_EQ(V()[11], 0.0);
    EXPECT_EQ(V()[12], 0.0);
    EXPECT_EQ(V()[13], 1.0);
    EXPECT_EQ(V()[14], 0.0);
    EXPECT_EQ(V()[1], 0.0);
    EXPECT_EQ(V()[0], 1.0);
    // Outputs.
    EXPECT_EQ(V()[128], 0.0);
    EXPECT_EQ(V()[129], 0.138);
    EXPECT_EQ(V()[130], -0.08);
    EXPECT_EQ(V()[131], 0.0);
    EXPECT_EQ(V()[127], 0.0);
    EXPECT_EQ(m.state.evaluationCount, 1);
}

TEST_F(ModelTest, InitialValuesBecomeStatesAndHostStatesAreReplaced) {
    IV()[3] = 1.5;
    S()[4] = 2.0;
    initialise();
    EXPECT_EQ(S()[3], 1.5);
    EXPECT_EQ(S()[4], 0.0);
}

TEST_F(ModelTest, PatternSelectorOutsideOneToFiveKeepsThePattern) {
    P()[21] = 2.5;
    initialise();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(V()[2 + i], 0.0);
    EXPECT_EQ(R()[1], 0.0);

    P()[21] = 3.0;
    initialise();
    EXPECT_EQ(R()[1], 3.0 * 0.5);
    P()[21] = 2.5;
    initialise();
    const double kept[5] = {1, 1, 1, 0, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(V()[2 + i], kept[i]);
    EXPECT_EQ(R()[1], 1.5);

    P()[21] = 5.0;
    initialise();
    EXPECT_EQ(R()[1], 2.5);
}

TEST_F(ModelTest, ZeroParameterGivesNegativeZeroRowEntry) {
    P()[6] = 0.0;
    initialise();
    EXPECT_TRUE(sameBits(V()[21], -0.0));
}

TEST_F(ModelTest, TripleFollowsTheFractionLeftAndKeepsItAtTheThresholds) {
    initialise();
    struct Case {
        double drained;  // S[10]
        double fraction;
        double triple[3];
    } cases[] = {
        {1000.0, 0.6, {0, 1, 0}},
        {1750.0, 0.3, {1, 0.76, 0}},
        {1250.0, 0.5, {1, 0.76, 0}},  // exactly 0.5: kept
        {2250.0, 0.1, {0.72, 0, 0.16}},
        {2000.0, 0.2, {0.72, 0, 0.16}},  // exactly 0.2: kept
        {1500.0, 0.4, {1, 0.76, 0}},
        {2000.0, 0.2, {1, 0.76, 0}},  // kept again, from the other side
    };
    for (const Case& c : cases) {
        S()[10] = c.drained;
        evaluate();
        EXPECT_EQ(V()[10], c.fraction) << c.drained;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(V()[12 + i], c.triple[i]) << c.drained;
    }
}

TEST_F(ModelTest, LevelFloorsAtZeroSwitchesDriveFactorAndFreezesLatch) {
    initialise();
    S()[0] = 3.0;
    S()[1] = 4.0;
    evaluate();  // level was positive: the latch takes S[0] and S[1]
    EXPECT_EQ(V()[9], 3.0);
    EXPECT_EQ(V()[8], 4.0);
    EXPECT_EQ(V()[7], 2500.0 - 3.0 - 4.0);
    EXPECT_EQ(V()[0], P()[3]);

    S()[10] = 3000.0;
    S()[0] = 5.0;
    evaluate();  // level still positive on entry: latch moves, then floors at 0
    EXPECT_EQ(V()[9], 5.0);
    EXPECT_EQ(V()[7], 0.0);
    EXPECT_EQ(V()[10], 0.0);
    EXPECT_EQ(V()[1], 2500.0);
    EXPECT_EQ(V()[0], P()[4]);
    EXPECT_EQ(R()[10], V()[84] * P()[4] * V()[74]);

    S()[0] = 6.0;
    S()[10] = 0.0;
    evaluate();  // empty on entry: the latch stays frozen
    EXPECT_EQ(V()[9], 5.0);
    EXPECT_EQ(V()[7], 2500.0 - 5.0 - 4.0);
    evaluate();  // positive again: the latch resumes
    EXPECT_EQ(V()[9], 6.0);
}

TEST_F(ModelTest, DriveValuesAreClampedToTheirLimits) {
    initialise();
    // With zero inputs and states, V[75] = (P[25] / P[26]) * S[12] = 100 * S[12].
    const double states[] = {0.25, -0.25, 0.05};
    const double drives[] = {20.0, -20.0, 5.0};
    for (int i = 0; i < 3; ++i) {
        S()[12] = states[i];
        S()[15] = states[i];
        evaluate();
        EXPECT_EQ(V()[84], drives[i]);
        EXPECT_EQ(V()[97], drives[i]);
    }
    S()[12] = std::numeric_limits<double>::quiet_NaN();
    evaluate();
    EXPECT_TRUE(std::isnan(V()[84]));
}

TEST_F(ModelTest, QuantisationRoundsHalvesAwayFromZero) {
    initialise();
    // C[0] = 0.5 and P[18] = 1 make V[65] = S[8] exactly.
    C()[0] = 0.5;
    P()[18] = 1.0;
    const double values[] = {2.3, 2.5, -2.3, -2.5, 0.0, 3e9};
    const double rounded[] = {2.0, 3.0, -2.0, -3.0, 0.0, -2147483648.0};
    for (int i = 0; i < 6; ++i) {
        S()[8] = values[i];
        S()[9] = values[i];
        evaluate();
        EXPECT_EQ(V()[65], values[i]);
        EXPECT_EQ(V()[66], rounded[i]) << values[i];
        EXPECT_EQ(V()[70], rounded[i]) << values[i];
    }
    P()[19] = 0.0;  // remainder by zero returns its operand
    S()[8] = 7.25;
    evaluate();
    EXPECT_EQ(V()[66], 0.0);
}

TEST_F(ModelTest, SingularDiagonalMatrixLeavesItsInverseAsItWas) {
    initialise();
    double inverse[4];
    std::memcpy(inverse, (m.scratch.matrixStorage + equations::place::kT2.first), sizeof inverse);
    EXPECT_EQ(inverse[0], 1.0 / 0.829);

    P()[12] = -P()[8];  // P[8] + P[12] = 0
    S()[3] = 2.0;
    initialise();
    EXPECT_EQ(V()[31], 0.0);
    EXPECT_EQ(std::memcmp(inverse, (m.scratch.matrixStorage + equations::place::kT2.first),
                          sizeof inverse),
              0);
    EXPECT_EQ(R()[5], inverse[0] * IV()[3] + inverse[1] * S()[4]);
}

TEST_F(ModelTest, InputsReachTheModelOnlyThroughTheirCopies) {
    initialise();
    V()[135] = 1.0;
    evaluate();
    EXPECT_EQ(V()[85], 1.0);
    EXPECT_EQ(V()[80], 1.0 * P()[28]);
    EXPECT_EQ(R()[12], V()[80] - R()[8]);
    EXPECT_EQ(V()[98], 0.0);
}

TEST_F(ModelTest, StepCountsFourEvaluationsAndShortensTheLastStep) {
    initialise();
    const double t0 = 0.0;
    const double target = 2.5e-6;
    int steps = 0;
    while (target > m.state.currentTime) {
        rk4(target);
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(m.state.evaluationCount, 1 + 4 * 3);
    EXPECT_EQ(m.state.currentTime, target);
    // S[0] integrates the constant rate 7.
    EXPECT_NEAR(S()[0], 7.0 * (target - t0), 1e-18);
}

// The first stage of a step takes the rates as they stand, so an input
// written between two steps acts from the second stage on: the step ends
// elsewhere than the same step from rates that already saw the input.
TEST_F(ModelTest, AnInputWrittenBetweenStepsActsFromTheSecondStage) {
    initialise();
    V()[135] = 1.0;  // channel A input, written between two steps
    runtime::Model seen = m;
    equations::evaluateDynamicEquations(seen.state.values, seen.scratch);
    const double* seenRates = seen.state.values + equations::kRatesStart;
    const double* seenStates = seen.state.values + equations::kStatesStart;
    ASSERT_NE(seenRates[12], R()[12]);
    rk4(1.0);
    rk4(seen, 1.0);
    EXPECT_EQ(m.state.currentTime, 1e-6);
    EXPECT_NE(S()[12], seenStates[12]);
}

TEST_F(ModelTest, StopTimeCapsTheStep) {
    initialise();
    m.state.stopTimeDefined = 1;
    m.state.stopTime = 0.4e-6;
    rk4(1.0);
    EXPECT_EQ(m.state.currentTime, 0.4e-6);
}

TEST_F(ModelTest, ReinitialisationRestartsFromInitialValuesAndKeepsTheClock) {
    initialise();
    IV()[2] = 0.75;
    for (int i = 0; i < 5; ++i) stepAndOutputs(m, 1.0);
    const double clock = m.state.currentTime;
    P()[2] = 3.0;
    initialise();
    EXPECT_EQ(m.state.currentTime, clock);
    EXPECT_EQ(S()[2], 0.75);
    EXPECT_EQ(S()[0], 0.0);
    EXPECT_EQ(R()[0], 3.0);
    EXPECT_EQ(m.state.evaluationCount, 1);
    // Nothing of the earlier steps reaches the next one: it ends as the
    // first step of an instance initialised afresh from the same values.
    runtime::Model fresh;
    runtime::resetModel(fresh);
    runtime::setStartValues(fresh.state.values);
    std::memcpy(fresh.state.values + equations::kParametersStart, P(),
                runtime::kParameterCount * sizeof(double));
    std::memcpy(fresh.state.values + equations::kInitialValuesStart, IV(),
                runtime::kInitialValueCount * sizeof(double));
    runtime::initializeModel(fresh);
    fresh.state.currentTime = clock;
    stepAndOutputs(m, 1.0);
    stepAndOutputs(fresh, 1.0);
    for (uint32_t vr = 0; vr < runtime::kValueCount; ++vr) {
        EXPECT_TRUE(sameBits(m.state.values[vr], fresh.state.values[vr]))
            << "value reference " << vr;
    }
}

}  // namespace
}  // namespace tarvo
