// Snapshots: taking one (new block, reused block, allocation failure),
// restoring exactly the model's state, releasing, and serialisation refused.
#include <cstring>

#include "fmi2/logging.h"
#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

class Snapshots : public FmiTest {
protected:
    void SetUp() override {
        FmiTest::SetUp();
        instance = host.initialised();
        ASSERT_TRUE(instance);
        ASSERT_EQ(api.fmi2DoStep(instance.get(), 0.0, 1e-5, fmi2False), fmi2OK);
    }
    void TearDown() override {
        api.fmi2FreeFMUstate(instance.get(), &state);
        instance.reset();
        FmiTest::TearDown();
    }
    fmi2::Instance& r() { return record(instance); }
    void expectSingleError(const char* message) {
        ASSERT_EQ(host.log.size(), 1u);
        EXPECT_EQ(host.log.last().componentEnvironment, &host.log);
        EXPECT_EQ(host.log.last().instanceName, kTestInstanceName);
        EXPECT_EQ(host.log.last().status, fmi2Error);
        EXPECT_EQ(host.log.last().category, "error");
        EXPECT_EQ(host.log.last().message, message);
    }

    InstanceHandle instance;
    fmi2FMUstate state = nullptr;
};

TEST_F(Snapshots, ASnapshotIsACopyOfTheModelStateInANewBlock) {
    const int before = allocationLedger().allocationCount();
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    ASSERT_NE(state, nullptr);
    ASSERT_EQ(allocationLedger().allocationCount(), before + 1);
    const AllocationCall& call = allocationLedger().calls().back();
    EXPECT_EQ(call.count, 3744u);  // the block hosts have always been asked for
    EXPECT_EQ(call.size, 1u);
    EXPECT_EQ(std::memcmp(state, &r().model.state, sizeof(runtime::ModelState)), 0);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Snapshots, TakingNeedsAnInstanceAndAPlaceForTheHandle) {
    EXPECT_EQ(api.fmi2GetFMUstate(nullptr, &state), fmi2Error);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(api.fmi2GetFMUstate(instance.get(), nullptr), fmi2Discard);
    EXPECT_EQ(api.fmi2GetFMUstate(nullptr, nullptr), fmi2Error);
    EXPECT_EQ(allocationLedger().allocationCount(), 3);  // the instance's own three
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Snapshots, RestoreTakesBackTheModelStateAndNothingElse) {
    // A donor whose every field differs from the instance.
    InstanceHandle donor = host.instantiate("donor", "file:///D:/donor");
    runtime::Model& d = record(donor).model;
    for (size_t i = 0; i < runtime::kValueCount; ++i)
        d.state.values[i] = 1000.0 + static_cast<double>(i);
    d.state.startTime = 1.0;
    d.state.stopTime = 2.0;
    d.state.stopTimeDefined = 1;
    d.state.stepSize = 2e-6;
    d.state.currentTime = 1.5;
    d.state.evaluationCount = 77;
    d.state.parametersChanged = 8;
    for (double& v : d.scratch.matrixStorage) v = -1.0;
    for (double& v : d.scratch.inverseWorkspace) v = -2.0;
    const runtime::ModelState donorModelState = d.state;
    fmi2FMUstate donorState = nullptr;
    ASSERT_EQ(api.fmi2GetFMUstate(donor.get(), &donorState), fmi2OK);
    donor.reset();  // the snapshot outlives its source

    const runtime::Model before = r().model;
    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), donorState), fmi2OK);
    EXPECT_EQ(std::memcmp(&r().model.state, &donorModelState, sizeof donorModelState), 0);
    EXPECT_EQ(std::memcmp(&r().model.scratch, &before.scratch, sizeof before.scratch), 0);
    EXPECT_STREQ(r().host.instanceName, kTestInstanceName);
    EXPECT_STREQ(r().host.resourcePath, "\\tmp\\tarvo\\resources\\");
    EXPECT_EQ(r().host.functions, &host.callbacks);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &donorState), fmi2OK);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Snapshots, RestoringNothingIsReportedAndChangesNothing) {
    const RecordBytes before(r());
    EXPECT_EQ(api.fmi2SetFMUstate(instance.get(), nullptr), fmi2Error);
    EXPECT_TRUE(before.matches(r()));
    expectSingleError(fmi2::kSnapshotRestoreFailed);
    host.log.clear();
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(api.fmi2SetFMUstate(nullptr, state), fmi2Error);
    EXPECT_EQ(api.fmi2SetFMUstate(nullptr, nullptr), fmi2Error);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Snapshots, FreeingReleasesTheBlockOnceAndClearsTheHandle) {
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(state, nullptr);
    EXPECT_EQ(allocationLedger().outstanding(), 3u);
    const int frees = allocationLedger().freeCount();
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &state), fmi2OK);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2FreeFMUstate(nullptr, &state), fmi2OK);
    EXPECT_EQ(api.fmi2FreeFMUstate(nullptr, nullptr), fmi2OK);
    EXPECT_EQ(allocationLedger().freeCount(), frees);
}

TEST_F(Snapshots, FreeingWithoutAnInstanceKeepsTheSnapshot) {
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    const fmi2FMUstate taken = state;
    EXPECT_EQ(api.fmi2FreeFMUstate(nullptr, &state), fmi2Error);
    EXPECT_EQ(state, taken);
    EXPECT_TRUE(allocationLedger().isLive(taken));
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
