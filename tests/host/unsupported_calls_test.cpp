// Through the loaded library: every export without function of its own
// gives its fixed result and writes nothing into the caller's arguments.
#include <cstring>

#include "loaded_unit.h"

namespace tarvo::testing {
namespace {

class UnsupportedCalls : public LoadedUnitTest {};

TEST_F(UnsupportedCalls, FixedResultsAndTheCallersArgumentsUntouched) {
    InstanceHandle instance = host.initialised();
    const fmi2Component c = instance.get();
    const std::vector<double> values = host.allValues(c);

    // Every output argument starts as the same byte pattern.
    struct Outputs {
        fmi2Real reals[4];
        fmi2String strings[4];
        fmi2Byte bytes[32];
        size_t size;
        fmi2FMUstate state;
        fmi2Status status;
        fmi2Real real;
        fmi2Integer integer;
        fmi2Boolean boolean;
        fmi2String string;
    } out;
    std::memset(&out, 0xa5, sizeof out);
    Outputs pattern;
    std::memcpy(&pattern, &out, sizeof out);

    const fmi2ValueReference vrs[4] = {kInputA, kInputB, valueReferenceOf("level.driveFactor"),
                                       valueReferenceOf("pi")};
    const fmi2Integer orders[4] = {1, 1, 1, 1};
    const fmi2Real known[4] = {1.0, 2.0, 3.0, 4.0};
    const fmi2String texts[4] = {"a", "b", "c", "d"};
    fmi2FMUstate snapshot = nullptr;
    ASSERT_EQ(api.fmi2GetFMUstate(c, &snapshot), fmi2OK);

    EXPECT_EQ(api.fmi2GetString(c, vrs, 4, out.strings), fmi2Error);
    EXPECT_EQ(api.fmi2SetString(c, vrs, 4, texts), fmi2Error);
    EXPECT_EQ(api.fmi2SerializedFMUstateSize(c, snapshot, &out.size), fmi2Discard);
    EXPECT_EQ(api.fmi2SerializeFMUstate(c, snapshot, out.bytes, sizeof out.bytes), fmi2Discard);
    EXPECT_EQ(api.fmi2DeSerializeFMUstate(c, out.bytes, sizeof out.bytes, &out.state),
              fmi2Discard);
    EXPECT_EQ(api.fmi2GetDirectionalDerivative(c, vrs, 4, vrs, 4, known, out.reals), fmi2Discard);
    EXPECT_EQ(api.fmi2SetRealInputDerivatives(c, vrs, 4, orders, known), fmi2Error);
    EXPECT_EQ(api.fmi2GetRealOutputDerivatives(c, vrs, 4, orders, out.reals), fmi2Error);
    EXPECT_EQ(api.fmi2CancelStep(c), fmi2Error);
    EXPECT_EQ(api.fmi2GetStatus(c, fmi2DoStepStatus, &out.status), fmi2OK);
    EXPECT_EQ(api.fmi2GetRealStatus(c, fmi2LastSuccessfulTime, &out.real), fmi2OK);
    EXPECT_EQ(api.fmi2GetIntegerStatus(c, fmi2PendingStatus, &out.integer), fmi2OK);
    EXPECT_EQ(api.fmi2GetBooleanStatus(c, fmi2Terminated, &out.boolean), fmi2OK);
    EXPECT_EQ(api.fmi2GetStringStatus(c, fmi2PendingStatus, &out.string), fmi2Discard);
    EXPECT_EQ(api.fmi2SetDebugLogging(c, fmi2True, 4, texts), fmi2OK);

    EXPECT_EQ(std::memcmp(&out, &pattern, sizeof out), 0);
    EXPECT_TRUE(sameBits(host.allValues(c), values));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(api.fmi2FreeFMUstate(c, &snapshot), fmi2OK);
}

TEST_F(UnsupportedCalls, WithoutAnInstanceEveryCallFails) {
    const fmi2ValueReference vr = kInputA;
    const fmi2Integer order = 1;
    double value = 1.0;
    size_t size = 7;
    fmi2Byte byte = 0;
    fmi2FMUstate state = nullptr;
    fmi2Status status = fmi2OK;
    fmi2String text = nullptr;
    EXPECT_EQ(api.fmi2SerializedFMUstateSize(nullptr, nullptr, &size), fmi2Error);
    EXPECT_EQ(api.fmi2SerializeFMUstate(nullptr, nullptr, &byte, 1), fmi2Error);
    EXPECT_EQ(api.fmi2DeSerializeFMUstate(nullptr, &byte, 1, &state), fmi2Error);
    EXPECT_EQ(api.fmi2GetDirectionalDerivative(nullptr, &vr, 1, &vr, 1, &value, &value),
              fmi2Error);
    EXPECT_EQ(api.fmi2SetRealInputDerivatives(nullptr, &vr, 1, &order, &value), fmi2Error);
    EXPECT_EQ(api.fmi2GetRealOutputDerivatives(nullptr, &vr, 1, &order, &value), fmi2Error);
    EXPECT_EQ(api.fmi2CancelStep(nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2GetStatus(nullptr, fmi2DoStepStatus, &status), fmi2Error);
    EXPECT_EQ(api.fmi2GetStringStatus(nullptr, fmi2PendingStatus, &text), fmi2Error);
    EXPECT_EQ(api.fmi2SetDebugLogging(nullptr, fmi2False, 0, nullptr), fmi2Error);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(state, nullptr);
}

}  // namespace
}  // namespace tarvo::testing
