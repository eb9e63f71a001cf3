// Experiment set-up, initialisation, termination, reset and the two
// information strings.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

constexpr fmi2ValueReference kCapacity = valueReferenceOf("level.capacity");  // default 2500
constexpr fmi2ValueReference kFirstStart = valueReferenceOf("initialValues[0]");
constexpr fmi2ValueReference kFirstState = valueReferenceOf("level.integral[0]");  // S[0]

class Lifecycle : public FmiTest {};

TEST_F(Lifecycle, SetupRecordsTimesAndLoadsDefaultsOverHostValues) {
    InstanceHandle instance = host.instantiate();
    ASSERT_EQ(host.setReal(instance.get(), kCapacity, 10.0), fmi2OK);
    ASSERT_EQ(host.setReal(instance.get(), kFirstStart, 3.0), fmi2OK);
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2True, 1e-3, 5.0, fmi2True, 10.0),
              fmi2OK);
    const fmi2::Instance& r = record(instance);
    EXPECT_EQ(r.model.state.startTime, 5.0);
    EXPECT_EQ(r.model.state.stopTimeDefined, 1);
    EXPECT_EQ(r.model.state.stopTime, 10.0);
    EXPECT_EQ(r.model.state.currentTime, 0.0);  // the model's clock is its own
    EXPECT_EQ(host.getReal(instance.get(), valueReferenceOf("pi")), 3.141592653589793);
    EXPECT_EQ(host.getReal(instance.get(), kCapacity), 2500.0);
    EXPECT_EQ(host.getReal(instance.get(), kFirstStart), 0.0);
    EXPECT_EQ(host.getReal(instance.get(), kFirstState), 0.0);
}

TEST_F(Lifecycle, OnlyStopTimeDefinedOneDefinesAndNothingWithdrawsIt) {
    InstanceHandle instance = host.instantiate();
    const fmi2::Instance& r = record(instance);
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, 2, 4.0), fmi2OK);
    EXPECT_EQ(r.model.state.stopTimeDefined, 0);
    EXPECT_EQ(r.model.state.stopTime, 0.0);
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2True, 10.0),
              fmi2OK);
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 1.0, fmi2False, 3.0),
              fmi2OK);
    EXPECT_EQ(r.model.state.stopTimeDefined, 1);
    EXPECT_EQ(r.model.state.stopTime, 10.0);
    EXPECT_EQ(r.model.state.startTime, 1.0);
    // A second definition replaces the first.
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2True, 7.0),
              fmi2OK);
    EXPECT_EQ(r.model.state.stopTime, 7.0);
}

TEST_F(Lifecycle, ANaNStopTimeIsRefusedAndChangesNothing) {
    InstanceHandle instance = host.instantiate();
    const fmi2::Instance& r = record(instance);
    ASSERT_EQ(host.setReal(instance.get(), kCapacity, 9.0), fmi2OK);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 2.0, fmi2True, nan),
              fmi2Error);
    EXPECT_EQ(r.model.state.stopTimeDefined, 0);
    EXPECT_EQ(r.model.state.startTime, 0.0);
    EXPECT_EQ(host.getReal(instance.get(), kCapacity), 9.0);  // defaults not loaded
    // Not defined, a NaN stop time is ignored like any other.
    EXPECT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2False, nan),
              fmi2OK);
    ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
    ASSERT_EQ(api.fmi2DoStep(instance.get(), 0.0, 2.5e-6, fmi2True), fmi2OK);
    EXPECT_EQ(r.model.state.currentTime, 2.5e-6);
}

TEST_F(Lifecycle, ExitInitializationStartsFromTheValuesSetSinceSetup) {
    InstanceHandle instance = host.instantiate();
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2False, 0.0),
              fmi2OK);
    ASSERT_EQ(api.fmi2EnterInitializationMode(instance.get()), fmi2OK);
    ASSERT_EQ(host.setReal(instance.get(), kFirstStart, 1.5), fmi2OK);
    ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
    const fmi2::Instance& r = record(instance);
    EXPECT_EQ(host.getReal(instance.get(), kFirstState), 1.5);
    EXPECT_EQ(r.model.state.evaluationCount, 1);
    EXPECT_EQ(r.model.state.parametersChanged, 0);
}

TEST_F(Lifecycle, TerminateChangesNoValueAndLeavesTheInstanceUsable) {
    InstanceHandle instance = host.initialised();
    ASSERT_EQ(api.fmi2DoStep(instance.get(), 0.0, 1e-5, fmi2True), fmi2OK);
    const RecordBytes before(record(instance));
    EXPECT_EQ(api.fmi2Terminate(instance.get()), fmi2OK);
    EXPECT_TRUE(before.matches(record(instance)));
    EXPECT_EQ(api.fmi2DoStep(instance.get(), 1e-5, 1e-5, fmi2True), fmi2OK);
    EXPECT_EQ(record(instance).model.state.currentTime, 1e-5 + 1e-5);
}

TEST_F(Lifecycle, ModelRunsBeforeSetupOnZeroDataWithoutFault) {
    // The views exist from instantiation on, so an out-of-order host gets
    // an evaluation of the zero data rather than a crash.
    InstanceHandle instance = host.instantiate();
    EXPECT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
    EXPECT_EQ(api.fmi2DoStep(instance.get(), 0.0, 3e-6, fmi2True), fmi2OK);
    InstanceHandle other = host.instantiate("other");
    EXPECT_EQ(api.fmi2DoStep(other.get(), 0.0, 3e-6, fmi2True), fmi2OK);
    EXPECT_EQ(api.fmi2Reset(other.get()), fmi2OK);
    EXPECT_EQ(api.fmi2ExitInitializationMode(other.get()), fmi2OK);
}

// Whether two models hold the same state and scratch, byte for byte.
bool sameModel(const fmi2::Instance& a, const fmi2::Instance& b) {
    return std::memcmp(&a.model, &b.model, sizeof a.model) == 0;
}

TEST_F(Lifecycle, ResetReturnsToTheInstantiationStateKeepingWhatTheInstanceOwns) {
    InstanceHandle fresh = host.instantiate();
    InstanceHandle used = host.initialised(kTestInstanceName, true, 1.0);
    fmi2::Instance& r = record(used);
    ASSERT_EQ(host.setReal(used.get(), kCapacity, 100.0), fmi2OK);
    ASSERT_EQ(host.setReal(used.get(), valueReferenceOf("spare"), 4.0), fmi2OK);
    ASSERT_EQ(api.fmi2DoStep(used.get(), 0.0, 2e-5, fmi2True), fmi2OK);
    const fmi2CallbackFunctions* functions = r.host.functions;
    const char* name = r.host.instanceName;
    const char* path = r.host.resourcePath;
    const int allocations = allocationLedger().allocationCount();

    ASSERT_EQ(api.fmi2Reset(used.get()), fmi2OK);
    EXPECT_TRUE(sameModel(r, record(fresh)));
    EXPECT_EQ(r.host.functions, functions);
    EXPECT_EQ(r.host.instanceName, name);
    EXPECT_EQ(r.host.resourcePath, path);
    EXPECT_STREQ(r.host.resourcePath, "\\tmp\\tarvo\\resources\\");
    EXPECT_EQ(allocationLedger().allocationCount(), allocations);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Lifecycle, ARunAfterResetRepeatsTheFirstRun) {
    auto run = [&](fmi2Component c) {
        EXPECT_EQ(api.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 5e-5), fmi2OK);
        EXPECT_EQ(api.fmi2EnterInitializationMode(c), fmi2OK);
        EXPECT_EQ(host.setReal(c, kInputA, 2.0), fmi2OK);
        EXPECT_EQ(api.fmi2ExitInitializationMode(c), fmi2OK);
        for (int n = 0; n < 5; ++n) {
            EXPECT_EQ(api.fmi2DoStep(c, n * 1e-5, 1e-5, fmi2True), fmi2OK) << n;
        }
        return host.allValues(c);
    };
    InstanceHandle instance = host.instantiate();
    const std::vector<double> first = run(instance.get());
    const double firstClock = record(instance).model.state.currentTime;
    ASSERT_EQ(api.fmi2Reset(instance.get()), fmi2OK);
    EXPECT_EQ(record(instance).model.state.currentTime, 0.0);
    EXPECT_TRUE(sameBits(run(instance.get()), first));
    EXPECT_EQ(record(instance).model.state.currentTime, firstClock);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Lifecycle, InformationStringsNeedNoInstance) {
    EXPECT_STREQ(api.fmi2GetVersion(), "2.0");
    EXPECT_STREQ(api.fmi2GetTypesPlatform(), "default");
    EXPECT_EQ(api.fmi2GetVersion(), api.fmi2GetVersion());
}

TEST_F(Lifecycle, EveryCallRefusesANullInstance) {
    EXPECT_EQ(api.fmi2SetupExperiment(nullptr, fmi2False, 0.0, 0.0, fmi2False, 0.0), fmi2Error);
    EXPECT_EQ(api.fmi2EnterInitializationMode(nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2ExitInitializationMode(nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2Terminate(nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2Reset(nullptr), fmi2Error);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
