// Several instances of one loaded library, from one callback record,
// stepped interleaved: each gives exactly the values it gives alone.
#include <vector>

#include "loaded_unit.h"

namespace tarvo::testing {
namespace {

constexpr fmi2ValueReference kCapacity = valueReferenceOf("level.capacity");
constexpr int kSteps = 6;
constexpr double kStepSize = 1e-5;

class ManyInstances : public LoadedUnitTest {
protected:
    // Instance k differs from the others in its inputs and one parameter.
    void start(fmi2Component instance, int k) {
        ASSERT_EQ(api.fmi2SetupExperiment(instance, fmi2False, 0.0, 0.0, fmi2False, 0.0), fmi2OK);
        ASSERT_EQ(api.fmi2EnterInitializationMode(instance), fmi2OK);
        ASSERT_EQ(host.setReal(instance, kCapacity, 2500.0 - 100.0 * k), fmi2OK);
        ASSERT_EQ(host.setReal(instance, kInputA, 1.0 + k), fmi2OK);
        ASSERT_EQ(host.setReal(instance, kInputB, -0.25 * k), fmi2OK);
        ASSERT_EQ(api.fmi2ExitInitializationMode(instance), fmi2OK);
    }
    // Step n of instance k; halfway its input changes.
    void step(fmi2Component instance, int k, int n, std::vector<std::vector<double>>& trace) {
        if (n == kSteps / 2) {
            ASSERT_EQ(host.setReal(instance, kInputA, -2.0 * k), fmi2OK);
        }
        ASSERT_EQ(api.fmi2DoStep(instance, n * kStepSize, kStepSize, fmi2True), fmi2OK);
        trace.push_back(host.allValues(instance));
    }
};

TEST_F(ManyInstances, InterleavedInstancesEachGiveTheirValuesAlone) {
    constexpr int kInstances = 4;
    std::vector<std::vector<std::vector<double>>> alone(kInstances);
    for (int k = 0; k < kInstances; ++k) {
        InstanceHandle instance = host.instantiate("alone");
        start(instance.get(), k);
        for (int n = 0; n < kSteps; ++n) {
            step(instance.get(), k, n, alone[k]);
        }
    }

    std::vector<InstanceHandle> instances;
    std::vector<std::vector<std::vector<double>>> together(kInstances);
    for (int k = 0; k < kInstances; ++k) {
        instances.push_back(host.instantiate("together"));
        start(instances.back().get(), k);
    }
    for (int n = 0; n < kSteps; ++n) {
        for (int k = 0; k < kInstances; ++k) {
            // Reverse order on odd steps, so no instance is always first.
            const int i = n % 2 == 0 ? k : kInstances - 1 - k;
            step(instances[i].get(), i, n, together[i]);
        }
    }
    for (int k = 0; k < kInstances; ++k) {
        ASSERT_EQ(together[k].size(), alone[k].size());
        for (int n = 0; n < kSteps; ++n) {
            EXPECT_TRUE(sameBits(together[k][n], alone[k][n]))
                << "instance " << k << " step " << n;
        }
    }
    // The instances really differ from one another.
    EXPECT_FALSE(sameBits(alone[0].back(), alone[1].back()));
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
