// Values no model should be given: NaN, infinities and huge numbers in
// every parameter, initial value, state and input. The unit takes them as
// they come (it checks no value), steps through them without fault or
// message, reads them back through every type's conversion, and a reset
// with a new set-up brings back the first run exactly.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/host_test.h"
#include "support/linked_api.h"

namespace tarvo::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kBadValues[] = {kNaN, kInf, -kInf, kMax, -kMax, 1e300, 4.9e-324, -0.0};

class BadValues : public HostTest {
protected:
    void startDefaultWorkload(fmi2Component c) {
        ASSERT_EQ(api.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2False, 0.0), fmi2OK);
        ASSERT_EQ(api.fmi2EnterInitializationMode(c), fmi2OK);
        ASSERT_EQ(host.setReal(c, kInputA, 1.0), fmi2OK);
        ASSERT_EQ(host.setReal(c, kInputB, -0.5), fmi2OK);
        ASSERT_EQ(api.fmi2ExitInitializationMode(c), fmi2OK);
    }
    std::vector<double> runSteps(fmi2Component c) {
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(api.fmi2DoStep(c, n * 1e-5, 1e-5, fmi2True), fmi2OK);
        }
        return host.allValues(c);
    }

    TestHost host{linkedFmiApi()};
    const FmiApi& api = host.api;
};

TEST_F(BadValues, EveryBadValueEverywhereStepsWithoutFaultAndResetRecovers) {
    InstanceHandle instance = host.instantiate();
    ASSERT_TRUE(instance);
    startDefaultWorkload(instance.get());
    const std::vector<double> firstRun = runSteps(instance.get());

    for (const double bad : kBadValues) {
        SCOPED_TRACE(bad);
        ASSERT_EQ(api.fmi2Reset(instance.get()), fmi2OK);
        ASSERT_EQ(api.fmi2SetupExperiment(instance.get(), fmi2False, 0.0, 0.0, fmi2False, 0.0),
                  fmi2OK);
        // Every parameter, initial value, state and both inputs.
        std::vector<fmi2ValueReference> vrs;
        for (fmi2ValueReference vr = runtime::kParametersStart; vr < runtime::kVariablesStart;
             ++vr) {
            vrs.push_back(vr);
        }
        for (fmi2ValueReference vr = runtime::kStatesStart; vr < runtime::kRatesStart; ++vr) {
            vrs.push_back(vr);
        }
        vrs.push_back(kInputA);
        vrs.push_back(kInputB);
        const std::vector<double> values(vrs.size(), bad);
        ASSERT_EQ(api.fmi2SetReal(instance.get(), vrs.data(), vrs.size(), values.data()), fmi2OK);
        ASSERT_EQ(api.fmi2ExitInitializationMode(instance.get()), fmi2OK);
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(api.fmi2DoStep(instance.get(), n * 1e-5, 1e-5, fmi2True), fmi2OK);
        }
        // A bad value mid-run, in states and inputs.
        ASSERT_EQ(host.setReal(instance.get(), runtime::kStatesStart, bad), fmi2OK);
        ASSERT_EQ(host.setReal(instance.get(), kInputA, bad), fmi2OK);
        EXPECT_EQ(api.fmi2DoStep(instance.get(), 3e-5, 1e-5, fmi2True), fmi2OK);

        // Read back through every conversion: the input holds what was set.
        const fmi2ValueReference input = kInputA;
        fmi2Integer integer = 0;
        fmi2Boolean boolean = 7;
        ASSERT_EQ(api.fmi2GetInteger(instance.get(), &input, 1, &integer), fmi2OK);
        ASSERT_EQ(api.fmi2GetBoolean(instance.get(), &input, 1, &boolean), fmi2OK);
        const bool inRange = bad > -2147483649.0 && bad < 2147483648.0;
        EXPECT_EQ(integer, inRange ? static_cast<fmi2Integer>(bad) : -2147483647 - 1);
        EXPECT_EQ(boolean, fmi2False);
        EXPECT_TRUE(sameBits(host.getReal(instance.get(), input), bad));
        std::vector<double> states(20);
        EXPECT_EQ(api.fmi2GetContinuousStates(instance.get(), states.data(), states.size()),
                  fmi2OK);

        // Reset and a fresh set-up: the first run once more, bit for bit.
        ASSERT_EQ(api.fmi2Reset(instance.get()), fmi2OK);
        startDefaultWorkload(instance.get());
        EXPECT_TRUE(sameBits(runSteps(instance.get()), firstRun));
    }
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
