// The co-simulation step: the zero step, the parameter update, the model's
// own clock, the stop time with its tolerance, refused step requests, and
// the calls around the step with fixed results.
#include <cmath>
#include <cstring>
#include <limits>

#include "fmi2/logging.h"
#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr fmi2ValueReference kConstantRate = valueReferenceOf("level.constantRate");  // P[2]
constexpr fmi2ValueReference kRateZero = valueReferenceOf("rates[0]");  // R[0] = P[2]

class DoStep : public FmiTest {
protected:
    void SetUp() override {
        FmiTest::SetUp();
        instance = host.initialised();
        ASSERT_TRUE(instance);
    }
    void TearDown() override {
        instance.reset();
        FmiTest::TearDown();
    }
    // Defines a stop time as a host would and puts the clock just before
    // it, so that a test integrates only a few internal steps.
    void stopAt(double stopTime, double clock) {
        ASSERT_EQ(
            api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2True, stopTime),
            fmi2OK);
        ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
        r().model.state.currentTime = clock;
    }
    fmi2Status step(double communicationPoint, double stepSize) {
        return api.fmi2DoStep(instance.get(), communicationPoint, stepSize, fmi2False);
    }
    fmi2::Instance& r() { return record(instance); }
    void expectFinishTimeMessage(const char* text) {
        ASSERT_EQ(host.log.size(), 1u);
        const LogRecord& entry = host.log.last();
        EXPECT_EQ(entry.componentEnvironment, &host.log);
        EXPECT_EQ(entry.instanceName, kTestInstanceName);
        EXPECT_EQ(entry.status, fmi2Error);
        EXPECT_EQ(entry.category, "error");
        EXPECT_EQ(entry.format, fmi2::kFinishTimeExceeded);
        EXPECT_EQ(entry.message, text);
    }

    InstanceHandle instance;
};

TEST_F(DoStep, AZeroStepDoesNothingAtAll) {
    ASSERT_EQ(host.setReal(instance.get(), kConstantRate, 9.0), fmi2OK);
    const RecordBytes before(r());
    EXPECT_EQ(step(3.0, 0.0), fmi2OK);
    EXPECT_EQ(step(3.0, -0.0), fmi2OK);
    EXPECT_TRUE(before.matches(r()));
    EXPECT_EQ(r().model.state.parametersChanged, 1);
    EXPECT_EQ(host.getReal(instance.get(), kRateZero), 7.0);
}

TEST_F(DoStep, AStepThatEndsBehindTheClockOnlyUpdatesParameters) {
    ASSERT_EQ(host.setReal(instance.get(), kConstantRate, 9.0), fmi2OK);
    const int evaluations = r().model.state.evaluationCount;
    EXPECT_EQ(step(0.0, -1.0), fmi2OK);
    EXPECT_EQ(r().model.state.parametersChanged, 0);
    EXPECT_EQ(host.getReal(instance.get(), kRateZero), 9.0);
    EXPECT_EQ(r().model.state.currentTime, 0.0);
    EXPECT_EQ(r().model.state.evaluationCount, evaluations);
    // A communication point behind the model's clock integrates nothing either.
    ASSERT_EQ(step(0.0, 2e-5), fmi2OK);
    EXPECT_EQ(step(0.0, 1e-5), fmi2OK);
    EXPECT_EQ(r().model.state.currentTime, 2e-5);
}

// The outputs copy states and results of the last internal step, whichever
// way a call ends; a call that integrates nothing leaves them as they are.
TEST_F(DoStep, OutputsFollowTheLastInternalStepOfEveryCall) {
    constexpr fmi2ValueReference kOutput = valueReferenceOf("channelA.quantisedState");
    constexpr fmi2ValueReference kSource = valueReferenceOf("states[8]");  // copied into it
    ASSERT_EQ(host.setReal(instance.get(), kInputA, 1.0), fmi2OK);
    ASSERT_EQ(step(0.0, 2e-5), fmi2OK);
    ASSERT_NE(host.getReal(instance.get(), kSource), 0.0);
    EXPECT_EQ(host.getReal(instance.get(), kOutput), host.getReal(instance.get(), kSource));

    ASSERT_EQ(host.setReal(instance.get(), kOutput, -5.0), fmi2OK);
    EXPECT_EQ(step(0.0, -1.0), fmi2OK);
    EXPECT_EQ(host.getReal(instance.get(), kOutput), -5.0);

    stopAt(1e-5, 0.0);
    ASSERT_EQ(host.setReal(instance.get(), kInputA, 1.0), fmi2OK);
    ASSERT_EQ(host.setReal(instance.get(), kOutput, -5.0), fmi2OK);
    EXPECT_EQ(step(0.0, 2e-5), fmi2Error);  // stops at 1e-5 with the message
    EXPECT_EQ(r().model.state.currentTime, 1e-5);
    EXPECT_EQ(host.getReal(instance.get(), kOutput), host.getReal(instance.get(), kSource));
    ASSERT_EQ(host.setReal(instance.get(), kOutput, -5.0), fmi2OK);
    EXPECT_EQ(step(1e-5, 1e-5), fmi2Error);  // fails before integrating
    EXPECT_EQ(host.getReal(instance.get(), kOutput), -5.0);
    host.log.clear();
}

TEST_F(DoStep, TheModelIntegratesFromItsOwnClockToTheEndOfTheStep) {
    ASSERT_EQ(step(0.0, 0.001), fmi2OK);
    EXPECT_EQ(r().model.state.currentTime, 0.0 + 0.001);
    // The communication point only places the end: 0.001 -> 0.0015 + 0.0001.
    ASSERT_EQ(step(0.0015, 0.0001), fmi2OK);
    EXPECT_EQ(r().model.state.currentTime, 0.0015 + 0.0001);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, ReachingTheStopTimeInsideAStepStopsThereWithTheMessage) {
    stopAt(0.001, 0.0009);
    EXPECT_EQ(step(0.0009, 0.0002), fmi2Error);
    EXPECT_EQ(r().model.state.currentTime, 0.001);
    expectFinishTimeMessage("Exceeded model finish time: 0.001 > 0.001\n");
    // Every later step fails at once, integrating nothing.
    host.log.clear();
    const int evaluations = r().model.state.evaluationCount;
    EXPECT_EQ(step(0.001, 1e-5), fmi2Error);
    EXPECT_EQ(r().model.state.evaluationCount, evaluations);
    expectFinishTimeMessage("Exceeded model finish time: 0.001 > 0.001\n");
}

TEST_F(DoStep, WithoutALoggerTheStopTimeFailsSilently) {
    stopAt(0.001, 0.00099);
    const fmi2CallbackFunctions noLogger{nullptr, &countingAllocate, &countingFree, nullptr,
                                         &host.log};
    r().host.functions = &noLogger;
    EXPECT_EQ(step(0.00099, 0.0001), fmi2Error);
    r().host.functions = &host.callbacks;
    EXPECT_EQ(r().model.state.currentTime, 0.001);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, AStepEndingAtTheStopTimeSucceeds) {
    stopAt(0.001, 0.00099);
    EXPECT_EQ(step(0.00099, 0.001 - 0.00099), fmi2OK);
    EXPECT_EQ(r().model.state.currentTime, 0.001);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, AnEndRoundedJustPastTheStopTimeCountsAsTheStopTime) {
    // 0.2 + 0.1 is 0.30000000000000004, one unit in the last place beyond 0.3.
    stopAt(0.3, 0.29999);
    ASSERT_GT(0.2 + 0.1, 0.3);
    EXPECT_EQ(step(0.2, 0.1), fmi2OK);
    EXPECT_EQ(r().model.state.currentTime, 0.3);
    EXPECT_TRUE(host.log.empty());
    // Repeating it at the stop time integrates nothing and still succeeds.
    const int evaluations = r().model.state.evaluationCount;
    EXPECT_EQ(step(0.2, 0.1), fmi2OK);
    EXPECT_EQ(r().model.state.evaluationCount, evaluations);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, TheToleranceGrowsWithTheStopTime) {
    stopAt(1e4, 1e4 - 5e-6);
    EXPECT_EQ(step(1e4 - 5e-6, 5e-6 + 9e-6), fmi2OK);  // 9e-6 beyond, tolerance 1e-5
    EXPECT_EQ(r().model.state.currentTime, 1e4);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, AnOvershootBeyondTheToleranceFailsAtTheStopTime) {
    stopAt(0.3, 0.29999);
    EXPECT_EQ(step(0.29999, 0.00001 + 3e-9), fmi2Error);
    EXPECT_EQ(r().model.state.currentTime, 0.3);
    expectFinishTimeMessage("Exceeded model finish time: 0.3 > 0.3\n");

    host.log.clear();
    stopAt(1e4, 1e4 - 5e-6);
    EXPECT_EQ(step(1e4 - 5e-6, 5e-6 + 2e-5), fmi2Error);
    EXPECT_EQ(r().model.state.currentTime, 1e4);
    expectFinishTimeMessage("Exceeded model finish time: 10000 > 10000\n");
}

TEST_F(DoStep, AnUnboundedStopTimeGetsNoTolerance) {
    stopAt(-kInf, 0.0);
    EXPECT_EQ(step(0.0, 1e-5), fmi2Error);
    EXPECT_EQ(r().model.state.currentTime, 0.0);
    expectFinishTimeMessage("Exceeded model finish time: 0 > -inf\n");
}

TEST_F(DoStep, NonFiniteStepRequestsFailChangingNothing) {
    ASSERT_EQ(host.setReal(instance.get(), kConstantRate, 9.0), fmi2OK);
    const RecordBytes before(r());
    const double requests[][2] = {{kNaN, 1e-5},   {0.0, kNaN},      {kInf, 1e-5},
                                  {0.0, kInf},    {-kInf, 1.0},     {0.0, -kInf},
                                  {1e308, 1e308}, {-1e308, -1e308}, {kInf, -kInf}};
    for (const auto& request : requests) {
        EXPECT_EQ(step(request[0], request[1]), fmi2Error) << request[0] << " " << request[1];
    }
    EXPECT_TRUE(before.matches(r()));
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, AStepThatCannotMoveTheClockFailsInsteadOfLooping) {
    r().model.state.stepSize = 0.0;
    EXPECT_EQ(step(0.0, 1e-5), fmi2Error);
    r().model.state.stepSize = -1e-6;
    EXPECT_EQ(step(0.0, 1e-5), fmi2Error);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(DoStep, EveryStepCallRefusesANullInstance) {
    fmi2Status status = fmi2OK;
    fmi2Real real = 0.0;
    fmi2Integer integer = 0;
    fmi2Boolean boolean = 0;
    fmi2String text = nullptr;
    EXPECT_EQ(api.fmi2DoStep(nullptr, 0.0, 1e-5, fmi2False), fmi2Error);
    EXPECT_EQ(api.fmi2DoStep(nullptr, 0.0, 0.0, fmi2False), fmi2Error);
    EXPECT_EQ(api.fmi2CancelStep(nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2GetStatus(nullptr, fmi2DoStepStatus, &status), fmi2Error);
    EXPECT_EQ(api.fmi2GetRealStatus(nullptr, fmi2LastSuccessfulTime, &real), fmi2Error);
    EXPECT_EQ(api.fmi2GetIntegerStatus(nullptr, fmi2DoStepStatus, &integer), fmi2Error);
    EXPECT_EQ(api.fmi2GetBooleanStatus(nullptr, fmi2Terminated, &boolean), fmi2Error);
    EXPECT_EQ(api.fmi2GetStringStatus(nullptr, fmi2PendingStatus, &text), fmi2Error);
}

}  // namespace
}  // namespace tarvo::testing
