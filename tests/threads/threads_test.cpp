// Instances on eight threads at once, each thread with its own host and
// instances: every thread computes bit for bit what one thread computes
// alone. Built also with ThreadSanitizer, which must find no race: the
// unit has no state outside its records.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/host_test.h"
#include "support/linked_api.h"

namespace tarvo::testing {
namespace {

constexpr int kThreads = 8;
constexpr int kInstancesPerThread = 2;
constexpr int kSteps = 6;
constexpr double kStepSize = 1e-4;

// What one thread saw: all values after every step of each of its
// instances, and how its own ledger and log ended.
struct ThreadResult {
    std::vector<std::vector<double>> trace;
    int failures = 0;
    size_t outstanding = 0;
    int unknownFrees = 0;
    size_t messages = 0;
};

// The default workload on interleaved instances, with a snapshot taken
// halfway, one step repeated from it.
ThreadResult runWorkload() {
    ThreadResult result;
    AllocationLedger& ledger = allocationLedger();  // this thread's own
    ledger.reset();
    {
        TestHost host(linkedFmiApi());
        const FmiApi& api = host.api;
        std::vector<InstanceHandle> instances;
        for (int k = 0; k < kInstancesPerThread; ++k) {
            instances.push_back(host.instantiate(("worker " + std::to_string(k)).c_str()));
            fmi2Component c = instances.back().get();
            if (c == nullptr) {
                ++result.failures;
                return result;
            }
            if (api.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2False, 0.0) != fmi2OK ||
                api.fmi2EnterInitializationMode(c) != fmi2OK ||
                host.setReal(c, kInputA, 1.0) != fmi2OK ||
                host.setReal(c, kInputB, -0.5) != fmi2OK ||
                api.fmi2ExitInitializationMode(c) != fmi2OK) {
                ++result.failures;
            }
        }
        fmi2FMUstate snapshot = nullptr;
        for (int n = 0; n < kSteps; ++n) {
            for (InstanceHandle& instance : instances) {
                fmi2Component c = instance.get();
                if (n == kSteps / 2 && c == instances.front().get()) {
                    if (api.fmi2GetFMUstate(c, &snapshot) != fmi2OK) ++result.failures;
                }
                if (api.fmi2DoStep(c, n * kStepSize, kStepSize, fmi2True) != fmi2OK)
                    ++result.failures;
                result.trace.push_back(host.allValues(c));
            }
        }
        // Repeat the step from the snapshot: the same values as before.
        fmi2Component first = instances.front().get();
        if (api.fmi2SetFMUstate(first, snapshot) != fmi2OK ||
            api.fmi2DoStep(first, (kSteps / 2) * kStepSize, kStepSize, fmi2True) != fmi2OK) {
            ++result.failures;
        }
        result.trace.push_back(host.allValues(first));
        if (api.fmi2FreeFMUstate(first, &snapshot) != fmi2OK) ++result.failures;
        for (InstanceHandle& instance : instances) {
            if (api.fmi2Terminate(instance.get()) != fmi2OK) ++result.failures;
            instance.reset();
        }
        result.messages = host.log.size() + strayLog().size();
    }
    result.outstanding = ledger.outstanding();
    result.unknownFrees = ledger.unknownFrees();
    ledger.reset();
    return result;
}

class Threads : public HostTest {};

TEST_F(Threads, EightThreadsComputeWhatOneComputes) {
    linkedFmiApi();  // the export table is built once, before any thread starts
    const ThreadResult alone = runWorkload();
    ASSERT_EQ(alone.failures, 0);
    ASSERT_EQ(alone.trace.size(), static_cast<size_t>(kSteps * kInstancesPerThread + 1));
    // The repeated step gives the values of its first run.
    EXPECT_TRUE(sameBits(alone.trace.back(), alone.trace[(kSteps / 2) * kInstancesPerThread]));

    std::vector<ThreadResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&results, t] { results[static_cast<size_t>(t)] = runWorkload(); });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        const ThreadResult& result = results[static_cast<size_t>(t)];
        EXPECT_EQ(result.failures, 0);
        EXPECT_EQ(result.outstanding, 0u);
        EXPECT_EQ(result.unknownFrees, 0);
        EXPECT_EQ(result.messages, 0u);
        ASSERT_EQ(result.trace.size(), alone.trace.size());
        for (size_t i = 0; i < alone.trace.size(); ++i) {
            EXPECT_TRUE(sameBits(result.trace[i], alone.trace[i])) << "record " << i;
        }
    }
}

}  // namespace
}  // namespace tarvo::testing
