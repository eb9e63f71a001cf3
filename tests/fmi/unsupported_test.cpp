// The derivative exports: fixed results, nothing written, nothing logged.
#include <cstring>

#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

class Unsupported : public FmiTest {};

TEST_F(Unsupported, DerivativeCallsGiveFixedResultsAndWriteNothing) {
    InstanceHandle instance = host.initialised();
    const RecordBytes before(record(instance));
    fmi2ValueReference vrs[3] = {203, 204, 999};
    fmi2Integer orders[3] = {1, 2, 3};
    fmi2Real known[3] = {1.0, 2.0, 3.0};
    fmi2Real values[3];
    std::memset(values, 0x5a, sizeof values);
    unsigned char pattern[sizeof values];
    std::memcpy(pattern, values, sizeof values);

    EXPECT_EQ(api.fmi2GetDirectionalDerivative(instance.get(), vrs, 3, vrs, 3, known, values),
              fmi2Discard);
    EXPECT_EQ(api.fmi2SetRealInputDerivatives(instance.get(), vrs, 3, orders, known), fmi2Error);
    EXPECT_EQ(api.fmi2GetRealOutputDerivatives(instance.get(), vrs, 3, orders, values),
              fmi2Error);
    EXPECT_EQ(std::memcmp(values, pattern, sizeof values), 0);
    EXPECT_TRUE(before.matches(record(instance)));

    EXPECT_EQ(api.fmi2GetDirectionalDerivative(nullptr, vrs, 3, vrs, 3, known, values),
              fmi2Error);
    EXPECT_EQ(api.fmi2SetRealInputDerivatives(nullptr, vrs, 3, orders, known), fmi2Error);
    EXPECT_EQ(api.fmi2GetRealOutputDerivatives(nullptr, vrs, 3, orders, values), fmi2Error);
    EXPECT_EQ(std::memcmp(values, pattern, sizeof values), 0);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
