// Snapshots as a host uses them, through the loaded library: repeating a
// step, moving a state between instances, a snapshot outliving its source,
// reusing a handle, a stop time carried along, and allocation failure.
#include <cstddef>
#include <string>
#include <vector>

#include "loaded_unit.h"

namespace tarvo::testing {
namespace {

constexpr fmi2ValueReference kConstantRate = valueReferenceOf("level.constantRate");  // P[2]
constexpr fmi2ValueReference kFirstStart = valueReferenceOf("initialValues[0]");
constexpr fmi2ValueReference kRateZero = valueReferenceOf("rates[0]");  // R[0] = P[2]

class SnapshotSequences : public LoadedUnitTest {
protected:
    // Initialised with the inputs set and two steps taken: a state with
    // some history.
    InstanceHandle running(TestHost& on, const char* name, double inputA) {
        InstanceHandle instance = on.initialised(name);
        EXPECT_EQ(on.setReal(instance.get(), kInputA, inputA), fmi2OK);
        EXPECT_EQ(on.setReal(instance.get(), kInputB, -0.5), fmi2OK);
        EXPECT_EQ(on.api.fmi2DoStep(instance.get(), 0.0, 2e-5, fmi2True), fmi2OK);
        EXPECT_EQ(on.api.fmi2DoStep(instance.get(), 2e-5, 2e-5, fmi2True), fmi2OK);
        return instance;
    }

    struct Result {
        std::vector<double> values;
        double clock;
    };
    Result stepAndRead(TestHost& on, fmi2Component instance, double point, double size) {
        EXPECT_EQ(on.api.fmi2DoStep(instance, point, size, fmi2True), fmi2OK);
        return Result{on.allValues(instance), clockOf(on, instance)};
    }
    static void expectSame(const Result& a, const Result& b) {
        EXPECT_TRUE(sameBits(a.values, b.values));
        EXPECT_TRUE(sameBits(a.clock, b.clock)) << a.clock << " " << b.clock;
    }

    fmi2FMUstate state = nullptr;
};

TEST_F(SnapshotSequences, RestoreThenTheSameStepRepeatsItExactly) {
    InstanceHandle instance = running(host, "a", 1.0);
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    const Result first = stepAndRead(host, instance.get(), 4e-5, 3e-5);
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), state), fmi2OK);
    EXPECT_EQ(clockOf(host, instance.get()), 4e-5);
    expectSame(stepAndRead(host, instance.get(), 4e-5, 3e-5), first);
    // And once more from the same snapshot.
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), state), fmi2OK);
    expectSame(stepAndRead(host, instance.get(), 4e-5, 3e-5), first);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(SnapshotSequences, ARestoredParameterFlagUpdatesParametersOnTheNextStep) {
    InstanceHandle instance = running(host, "a", 1.0);
    ASSERT_EQ(host.setReal(instance.get(), kConstantRate, 9.0), fmi2OK);
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    const Result first = stepAndRead(host, instance.get(), 4e-5, 1e-5);
    EXPECT_EQ(first.values[kRateZero], 9.0);  // R[0] follows P[2] after the update
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), state), fmi2OK);
    EXPECT_EQ(host.getReal(instance.get(), kRateZero), 7.0);
    expectSame(stepAndRead(host, instance.get(), 4e-5, 1e-5), first);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
}

TEST_F(SnapshotSequences, RestoreIntoAnotherInstanceMovesTheStateButNotItsOwnership) {
    TestHost otherHost(loadedUnit().fmi2());
    InstanceHandle source = running(host, "source", 2.0);
    InstanceHandle target = otherHost.initialised("target");
    ASSERT_TRUE(source && target);
    ASSERT_EQ(api.fmi2GetFMUstate(source.get(), &state), fmi2OK);
    ASSERT_EQ(otherHost.api.fmi2SetFMUstate(target.get(), state), fmi2OK);
    EXPECT_TRUE(sameBits(otherHost.allValues(target.get()), host.allValues(source.get())));
    EXPECT_EQ(clockOf(otherHost, target.get()), clockOf(host, source.get()));

    // Messages of the target still go to its own host, under its own name.
    EXPECT_EQ(otherHost.api.fmi2SetFMUstate(target.get(), nullptr), fmi2Error);
    ASSERT_EQ(otherHost.log.size(), 1u);
    EXPECT_EQ(otherHost.log.last().componentEnvironment, &otherHost.log);
    EXPECT_EQ(otherHost.log.last().instanceName, "target");
    EXPECT_TRUE(host.log.empty());

    expectSame(stepAndRead(otherHost, target.get(), 0.0, 6e-5),
               stepAndRead(host, source.get(), 0.0, 6e-5));
    EXPECT_EQ(api.fmi2FreeFMUstate(source.get(), &state), fmi2OK);
}

TEST_F(SnapshotSequences, ASnapshotOutlivesItsSource) {
    InstanceHandle source = running(host, "source", 3.0);
    ASSERT_EQ(api.fmi2GetFMUstate(source.get(), &state), fmi2OK);
    const Result expected = stepAndRead(host, source.get(), 4e-5, 2e-5);
    source.reset();

    InstanceHandle target = host.initialised("target");
    ASSERT_EQ(api.fmi2SetFMUstate(target.get(), state), fmi2OK);
    expectSame(stepAndRead(host, target.get(), 4e-5, 2e-5), expected);
    EXPECT_EQ(api.fmi2FreeFMUstate(target.get(), &state), fmi2OK);
}

TEST_F(SnapshotSequences, AReusedHandleAllocatesNothingAndHoldsTheLaterState) {
    InstanceHandle instance = running(host, "a", 1.0);
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    const fmi2FMUstate first = state;
    ASSERT_EQ(api.fmi2DoStep(instance.get(), 4e-5, 1e-5, fmi2True), fmi2OK);
    const std::vector<double> later = host.allValues(instance.get());
    const int allocations = allocationLedger().allocationCount();
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(state, first);
    EXPECT_EQ(allocationLedger().allocationCount(), allocations);

    ASSERT_EQ(api.fmi2DoStep(instance.get(), 5e-5, 1e-5, fmi2True), fmi2OK);
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), state), fmi2OK);
    EXPECT_TRUE(sameBits(host.allValues(instance.get()), later));
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(state, nullptr);
}

TEST_F(SnapshotSequences, AStopTimeTravelsIntoAnInstanceThatHadNone) {
    InstanceHandle withStop = host.initialised("with stop", true, 3e-5);
    InstanceHandle withoutStop = host.initialised("without stop");
    ASSERT_EQ(api.fmi2GetFMUstate(withStop.get(), &state), fmi2OK);
    ASSERT_EQ(api.fmi2SetFMUstate(withoutStop.get(), state), fmi2OK);
    EXPECT_EQ(api.fmi2DoStep(withoutStop.get(), 0.0, 1e-4, fmi2True), fmi2Error);
    EXPECT_EQ(clockOf(host, withoutStop.get()), 3e-5);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log.last().instanceName, "without stop");
    EXPECT_EQ(host.log.last().message, "Exceeded model finish time: 3e-05 > 3e-05\n");
    EXPECT_EQ(api.fmi2FreeFMUstate(withStop.get(), &state), fmi2OK);
}

TEST_F(SnapshotSequences, FailedSnapshotAllocationIsReportedAndLeavesNothing) {
    InstanceHandle instance = running(host, "a", 1.0);
    const size_t outstanding = allocationLedger().outstanding();
    allocationLedger().failAllocation(1);
    EXPECT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2Error);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(allocationLedger().outstanding(), outstanding);
    ASSERT_EQ(host.log.size(), 1u);
    EXPECT_EQ(host.log.last().componentEnvironment, &host.log);
    EXPECT_EQ(host.log.last().instanceName, "a");
    EXPECT_EQ(host.log.last().status, fmi2Error);
    EXPECT_EQ(host.log.last().category, "error");
    EXPECT_EQ(host.log.last().message, "Could not allocate memory for fmi2GetFMUstate.");
    // The next try succeeds.
    EXPECT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
}

TEST_F(SnapshotSequences, SetFMUstateRestoresInitialValuesTooSoAResetRunCanBeRepeated) {
    InstanceHandle instance = host.instantiate();
    ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2False, 0.0),
              fmi2OK);
    ASSERT_EQ(host.setReal(instance.get(), kFirstStart, 0.75), fmi2OK);
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
    const Result first = stepAndRead(host, instance.get(), 0.0, 5e-5);
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), state), fmi2OK);
    ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
    expectSame(stepAndRead(host, instance.get(), 0.0, 5e-5), first);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
}

}  // namespace
}  // namespace tarvo::testing
