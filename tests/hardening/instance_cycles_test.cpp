// Ten thousand instance lives in a row, each overlapping the next: every
// instance computes exactly what the first one did, every snapshot moves
// between neighbours, and the ledger ends empty.
#include <algorithm>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/host_test.h"
#include "support/linked_api.h"

namespace tarvo::testing {
namespace {

constexpr int kCycles = 10000;
constexpr int kSteps = 3;
constexpr double kStepSize = 1e-5;

class InstanceCycles : public HostTest {
protected:
    // Instantiated, set up with the default workload, initialised, stepped.
    InstanceHandle run() {
        InstanceHandle instance = host.instantiate();
        if (!instance) return instance;
        api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2False, 0.0);
        api.fmi2EnterInitializationMode(instance.get());
        host.setReal(instance.get(), kInputA, 1.0);
        host.setReal(instance.get(), kInputB, -0.5);
        api.fmi2ExitInitializationMode(instance.get());
        for (int n = 0; n < kSteps; ++n) {
            if (api.fmi2DoStep(instance.get(), n * kStepSize, kStepSize, fmi2True) != fmi2OK) {
                instance.reset();
            }
        }
        return instance;
    }

    TestHost host{linkedFmiApi()};
    const FmiApi& api = host.api;
};

TEST_F(InstanceCycles, TenThousandLivesLeaveNothingAllocated) {
    AllocationLedger& ledger = allocationLedger();
    std::vector<double> reference;
    std::vector<double> restored;
    InstanceHandle previous;
    int mismatches = 0;
    int failures = 0;
    size_t mostOutstanding = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        InstanceHandle instance = run();
        if (!instance) {
            ++failures;
            continue;
        }
        const std::vector<double> values = host.allValues(instance.get());
        if (reference.empty()) reference = values;
        if (!sameBits(values, reference)) ++mismatches;

        // Its snapshot goes into the previous instance, which must then
        // hold the same values; then both the snapshot and the previous
        // instance are released.
        fmi2FMUstate snapshot = nullptr;
        if (api.fmi2GetFMUstate(instance.get(), &snapshot) != fmi2OK) ++failures;
        if (previous) {
            if (api.fmi2SetFMUstate(previous.get(), snapshot) != fmi2OK) ++failures;
            if (!sameBits(host.allValues(previous.get()), values)) ++mismatches;
        }
        mostOutstanding = std::max(mostOutstanding, ledger.outstanding());
        if (api.fmi2FreeFMUstate(instance.get(), &snapshot) != fmi2OK || snapshot != nullptr) {
            ++failures;
        }
        previous = std::move(instance);
    }
    previous.reset();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(host.log.empty());
    // Two instances of three blocks each and one snapshot at the most.
    EXPECT_EQ(mostOutstanding, 7u);
    EXPECT_EQ(ledger.allocationCount(), kCycles * 4);
    EXPECT_EQ(ledger.freeCount(), kCycles * 4);
    EXPECT_EQ(ledger.outstanding(), 0u);
}

}  // namespace
}  // namespace tarvo::testing
