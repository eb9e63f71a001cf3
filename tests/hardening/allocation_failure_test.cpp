// Allocation failure at every point of a whole host life: each allocation
// of the life fails in turn. The call that meets the failure gives its
// documented answer and message, the rest of the life goes on unharmed, and
// at the end nothing stays allocated.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fmi2/instance.h"
#include "fmi2/logging.h"
#include "support/host_test.h"
#include "support/linked_api.h"

namespace tarvo::testing {
namespace {

// What the life saw, to be compared with what the failing allocation
// should have caused.
struct LifeOutcome {
    std::vector<std::string> messages;  // format strings, in order
    int allocations = 0;
    bool firstInstance = false;
    bool firstHasPath = false;
    bool secondInstance = false;
    bool snapshotTaken = false;
    bool retriedSnapshotTaken = false;
};

class AllocationFailure : public HostTest {
protected:
    // The allocations of a call are numbered from `before` + 1 on.
    static bool strikes(int failAt, int before, int index) { return failAt == before + index; }

    void startInstance(fmi2Component instance) {
        ASSERT_EQ(api.fmi2SetupExperiment(instance, fmi2False, 0.0, 0.0, fmi2False, 0.0), fmi2OK);
        ASSERT_EQ(api.fmi2EnterInitializationMode(instance), fmi2OK);
        ASSERT_EQ(host.setReal(instance, kInputA, 1.0), fmi2OK);
        ASSERT_EQ(host.setReal(instance, kInputB, -0.5), fmi2OK);
        ASSERT_EQ(api.fmi2ExitInitializationMode(instance), fmi2OK);
    }

    // Two instances, snapshots taken, reused, restored across and released,
    // a reset, a Model Exchange request refused, everything freed. The
    // allocation numbered failAt fails (0: none).
    LifeOutcome live(int failAt) {
        AllocationLedger& ledger = allocationLedger();
        ledger.reset();
        host.log.clear();
        ledger.failAllocation(failAt);
        LifeOutcome outcome;

        // First instance: record, name, resource path.
        int before = ledger.allocationCount();
        InstanceHandle first = host.instantiate("first");
        outcome.firstInstance = static_cast<bool>(first);
        EXPECT_EQ(outcome.firstInstance,
                  !strikes(failAt, before, 1) && !strikes(failAt, before, 2));
        if (first) {
            const bool pathLost = strikes(failAt, before, 3);
            outcome.firstHasPath =
                static_cast<fmi2::Instance*>(first.get())->host.resourcePath != nullptr;
            EXPECT_EQ(outcome.firstHasPath, !pathLost);
            startInstance(first.get());
            EXPECT_EQ(api.fmi2DoStep(first.get(), 0.0, 1e-5, fmi2True), fmi2OK);
        }

        // A snapshot of it, then the same handle once more (no allocation).
        fmi2FMUstate snapshot = nullptr;
        if (first) {
            before = ledger.allocationCount();
            const fmi2Status status = api.fmi2GetFMUstate(first.get(), &snapshot);
            outcome.snapshotTaken = status == fmi2OK;
            EXPECT_EQ(outcome.snapshotTaken, !strikes(failAt, before, 1));
            EXPECT_EQ(snapshot != nullptr, outcome.snapshotTaken);
            if (!outcome.snapshotTaken) {
                EXPECT_EQ(status, fmi2Error);
                // The host tries again: the next allocation works.
                EXPECT_EQ(api.fmi2GetFMUstate(first.get(), &snapshot), fmi2OK);
                outcome.retriedSnapshotTaken = snapshot != nullptr;
            }
            before = ledger.allocationCount();
            EXPECT_EQ(api.fmi2GetFMUstate(first.get(), &snapshot), fmi2OK);
            EXPECT_EQ(ledger.allocationCount(), before);
        }

        // Second instance, the snapshot restored into it and a snapshot of
        // its own; then the first is reset and frees the other's snapshot.
        before = ledger.allocationCount();
        InstanceHandle second = host.instantiate("second", nullptr);
        outcome.secondInstance = static_cast<bool>(second);
        EXPECT_EQ(outcome.secondInstance,
                  !strikes(failAt, before, 1) && !strikes(failAt, before, 2));
        fmi2FMUstate own = nullptr;
        if (second && snapshot != nullptr) {
            EXPECT_EQ(api.fmi2SetFMUstate(second.get(), snapshot), fmi2OK);
            EXPECT_EQ(api.fmi2DoStep(second.get(), 1e-5, 1e-5, fmi2True), fmi2OK);
            before = ledger.allocationCount();
            const fmi2Status status = api.fmi2GetFMUstate(second.get(), &own);
            EXPECT_EQ(status == fmi2OK, !strikes(failAt, before, 1));
        }
        if (first) {
            EXPECT_EQ(api.fmi2Reset(first.get()), fmi2OK);
            EXPECT_EQ(api.fmi2FreeFMUstate(first.get(), &own), fmi2OK);
            EXPECT_EQ(own, nullptr);
        }

        // A Model Exchange request: refused, whatever fails on the way.
        before = ledger.allocationCount();
        EXPECT_EQ(host.instantiateRaw("exchange", fmi2ModelExchange), nullptr);

        if (second) {
            EXPECT_EQ(api.fmi2FreeFMUstate(second.get(), &snapshot), fmi2OK);
        } else if (first) {
            EXPECT_EQ(api.fmi2FreeFMUstate(first.get(), &snapshot), fmi2OK);
        }
        EXPECT_EQ(snapshot, nullptr);
        EXPECT_EQ(api.fmi2Terminate(first.get()), first ? fmi2OK : fmi2Error);
        first.reset();
        second.reset();

        for (const LogRecord& entry : host.log.records) {
            outcome.messages.push_back(entry.format);
        }
        outcome.allocations = ledger.allocationCount();
        EXPECT_EQ(ledger.outstanding(), 0u) << "allocation " << failAt << " failing";
        EXPECT_EQ(ledger.unknownFrees(), 0);
        return outcome;
    }

    TestHost host{linkedFmiApi()};
    const FmiApi& api = host.api;
};

TEST_F(AllocationFailure, EachAllocationOfAWholeLifeFailsInTurn) {
    const LifeOutcome clean = live(0);
    ASSERT_TRUE(clean.firstInstance && clean.firstHasPath && clean.secondInstance &&
                clean.snapshotTaken);
    ASSERT_EQ(clean.messages, std::vector<std::string>{fmi2::kCoSimulationOnly});
    // record, name, path; snapshot; record, name; own snapshot; record,
    // name, path of the refused Model Exchange instance.
    ASSERT_EQ(clean.allocations, 10);

    // The message each failing allocation must bring, ahead of the refusal
    // of the Model Exchange instance (which fails for want of memory itself
    // when its record or name cannot be had).
    const std::vector<std::vector<std::string>> expected = {
        {fmi2::kOutOfMemoryInstance, fmi2::kCoSimulationOnly},  // 1 first record
        {fmi2::kOutOfMemoryName, fmi2::kCoSimulationOnly},      // 2 first name
        {fmi2::kCoSimulationOnly},                              // 3 first path: none, no message
        {fmi2::kSnapshotAllocationFailed, fmi2::kCoSimulationOnly},  // 4 snapshot
        {fmi2::kOutOfMemoryInstance, fmi2::kCoSimulationOnly},       // 5 second record
        {fmi2::kOutOfMemoryName, fmi2::kCoSimulationOnly},           // 6 second name
        {fmi2::kSnapshotAllocationFailed, fmi2::kCoSimulationOnly},  // 7 second's snapshot
        {fmi2::kOutOfMemoryInstance},                                // 8 refused record
        {fmi2::kOutOfMemoryName},                                    // 9 refused name
        {fmi2::kCoSimulationOnly},                                   // 10 refused path
    };
    for (int failAt = 1; failAt <= clean.allocations; ++failAt) {
        SCOPED_TRACE("allocation " + std::to_string(failAt) + " failing");
        const LifeOutcome outcome = live(failAt);
        EXPECT_EQ(outcome.messages, expected[static_cast<size_t>(failAt - 1)]);
        if (failAt == 3) {
            EXPECT_FALSE(outcome.firstHasPath);
        }
        if (failAt == 4) {
            EXPECT_TRUE(outcome.retriedSnapshotTaken);
        }
    }
}

// Every instance of a host that has no memory at all: each call fails as
// documented, every failure logs once, nothing stays allocated.
TEST_F(AllocationFailure, NoMemoryAtAll) {
    allocationLedger().failAllAllocations(true);
    EXPECT_EQ(host.instantiateRaw("a"), nullptr);
    EXPECT_EQ(host.instantiateRaw("b", fmi2ModelExchange), nullptr);
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log.records[0].format, fmi2::kOutOfMemoryInstance);
    EXPECT_EQ(host.log.records[1].format, fmi2::kOutOfMemoryInstance);
    EXPECT_EQ(host.log.records[1].instanceName, "b");
    EXPECT_EQ(allocationLedger().allocationCount(), 2);

    allocationLedger().failAllAllocations(false);
    InstanceHandle instance = host.initialised();
    ASSERT_TRUE(instance);
    allocationLedger().failAllAllocations(true);
    fmi2FMUstate snapshot = nullptr;
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(api.fmi2GetFMUstate(instance.get(), &snapshot), fmi2Error);
        EXPECT_EQ(snapshot, nullptr);
    }
    EXPECT_EQ(host.log.size(), 5u);
    EXPECT_EQ(host.log.last().format, fmi2::kSnapshotAllocationFailed);
    // Without memory the instance still steps: nothing else allocates.
    const int allocations = allocationLedger().allocationCount();
    EXPECT_EQ(api.fmi2DoStep(instance.get(), 0.0, 1e-5, fmi2True), fmi2OK);
    EXPECT_EQ(api.fmi2Reset(instance.get()), fmi2OK);
    EXPECT_EQ(allocationLedger().allocationCount(), allocations);
}

}  // namespace
}  // namespace tarvo::testing
