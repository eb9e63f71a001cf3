// Snapshots: taking one (new block, reused block, allocation failure),
// restoring exactly the listed fields, releasing, and serialisation refused.
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
    ModelInstance& r() { return record(instance); }
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

TEST_F(Snapshots, ASnapshotIsAByteCopyOfTheRecordInANewBlock) {
    const int before = allocationLedger().allocationCount();
    ASSERT_EQ(api.fmi2GetFMUstate(instance.get(), &state), fmi2OK);
    ASSERT_NE(state, nullptr);
    ASSERT_EQ(allocationLedger().allocationCount(), before + 1);
    const AllocationCall& call = allocationLedger().calls().back();
    EXPECT_EQ(call.count, sizeof(ModelInstance));
    EXPECT_EQ(call.size, 1u);
    EXPECT_EQ(std::memcmp(state, instance.get(), sizeof(ModelInstance)), 0);
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

TEST_F(Snapshots, RestoreTakesBackDataTimesAndFlagsButNoPointer) {
    // A donor whose every field differs from the instance.
    InstanceHandle donor = host.instantiate("donor", "file:///D:/donor");
    ModelInstance& d = record(donor);
    for (size_t i = 0; i < runtime::kModelDataSize; ++i)
        d.modelData[i] = 1000.0 + static_cast<double>(i);
    d.startTime = 1.0;
    d.stopTime = 2.0;
    d.stopTimeDefined = 1;
    d.stepSize = 2e-6;
    d.currentTime = 1.5;
    d.evaluationCount = 77;
    d.initialPhase = 5;
    d.majorStep = 6;
    d.stopRequested = 7;
    d.parametersChanged = 8;
    d.initializationRunning = 9;
    for (double& v : d.matrixStorage) v = -1.0;
    for (double& v : d.inverseWorkspace) v = -2.0;
    d.rkWork.k1[0] = -3.0;
    fmi2FMUstate donorState = nullptr;
    ASSERT_EQ(api.fmi2GetFMUstate(donor.get(), &donorState), fmi2OK);
    donor.reset();  // the snapshot outlives its source

    ModelInstance expected;
    std::memcpy(&expected, &r(), sizeof expected);
    for (size_t i = 0; i < runtime::kModelDataSize; ++i)
        expected.modelData[i] = 1000.0 + static_cast<double>(i);
    expected.startTime = 1.0;
    expected.stopTime = 2.0;
    expected.stopTimeDefined = 1;
    expected.stepSize = 2e-6;
    expected.currentTime = 1.5;
    expected.evaluationCount = 77;
    expected.initialPhase = 5;
    expected.majorStep = 6;
    expected.stopRequested = 7;
    expected.parametersChanged = 8;

    ASSERT_EQ(api.fmi2SetFMUstate(instance.get(), donorState), fmi2OK);
    EXPECT_EQ(std::memcmp(&expected, &r(), sizeof expected), 0);
    EXPECT_STREQ(r().instanceName, kTestInstanceName);
    EXPECT_STREQ(r().resourcePath, "\\tmp\\tarvo\\resources\\");
    EXPECT_EQ(r().functions, &host.callbacks);
    EXPECT_EQ(r().states, &r().modelData[valueReferenceOf("level.integral[0]")]);
    EXPECT_EQ(api.fmi2FreeFMUstate(instance.get(), &donorState), fmi2OK);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(Snapshots, RestoringNothingIsReportedAndChangesNothing) {
    const RecordBytes before(r());
    EXPECT_EQ(api.fmi2SetFMUstate(instance.get(), nullptr), fmi2Error);
    EXPECT_TRUE(before.matches(r()));
    expectSingleError(fmi::kSnapshotRestoreFailed);
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
