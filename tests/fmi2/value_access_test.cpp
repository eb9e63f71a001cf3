// Reading and writing by value reference: conversions per FMI type, the
// parameter flag, and calls refused as a whole for bad references or arrays.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kPattern = 0x5a5a5a5a;

class ValueAccess : public FmiTest {
protected:
    void SetUp() override {
        FmiTest::SetUp();
        instance = host.instantiate();
        ASSERT_TRUE(instance);
    }
    void TearDown() override {
        instance.reset();
        FmiTest::TearDown();
    }
    fmi2::Instance& data() { return record(instance); }
    double* modelData() { return record(instance).model.state.values; }

    InstanceHandle instance;
};

TEST_F(ValueAccess, RealsTravelUnchangedThroughEveryReference) {
    std::vector<fmi2ValueReference> vrs;
    std::vector<double> values;
    for (fmi2ValueReference vr = 0; vr < runtime::kModelDataSize; ++vr) {
        vrs.push_back(vr);
        values.push_back(vr % 3 == 0 ? -0.0 : 1.0 / (vr + 0.5));
    }
    values[7] = kNaN;
    values[equations::kSpareSlot] = -kInf;
    ASSERT_EQ(api.fmi2SetReal(instance.get(), vrs.data(), vrs.size(), values.data()), fmi2OK);
    std::vector<double> back(runtime::kModelDataSize, 1.0);
    ASSERT_EQ(api.fmi2GetReal(instance.get(), vrs.data(), vrs.size(), back.data()), fmi2OK);
    EXPECT_TRUE(sameBits(back, values));
    EXPECT_TRUE(sameBits(modelData()[equations::kSpareSlot], -kInf));
}

TEST_F(ValueAccess, IntegersTruncateTowardZeroAndOutOfRangeGivesTheMostNegative) {
    const double stored[] = {2.9,           -2.9,         3e10,          -3e10,
                             kNaN,          kInf,         -kInf,         2147483647.9,
                             -2147483648.9, 2147483648.0, -2147483649.0, -0.0};
    const int32_t expected[] = {2,         -2,        INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MIN, 0};
    constexpr size_t n = sizeof stored / sizeof stored[0];
    std::vector<fmi2ValueReference> vrs;
    for (size_t i = 0; i < n; ++i) {
        vrs.push_back(static_cast<fmi2ValueReference>(runtime::kVariablesStart + i));
        modelData()[runtime::kVariablesStart + i] = stored[i];
    }
    std::vector<fmi2Integer> values(n, kPattern);
    ASSERT_EQ(api.fmi2GetInteger(instance.get(), vrs.data(), n, values.data()), fmi2OK);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(values[i], expected[i]) << stored[i];
    }
}

TEST_F(ValueAccess, OnlyExactlyOneReadsAsTrue) {
    const double stored[] = {1.0, 2.0, 0.5, -1.0, kNaN, 0.0, 1.0000000000000002};
    const fmi2Boolean expected[] = {1, 0, 0, 0, 0, 0, 0};
    constexpr size_t n = sizeof stored / sizeof stored[0];
    std::vector<fmi2ValueReference> vrs;
    for (size_t i = 0; i < n; ++i) {
        vrs.push_back(static_cast<fmi2ValueReference>(runtime::kVariablesStart + 32 + i));
        modelData()[runtime::kVariablesStart + 32 + i] = stored[i];
    }
    std::vector<fmi2Boolean> values(n, kPattern);
    ASSERT_EQ(api.fmi2GetBoolean(instance.get(), vrs.data(), n, values.data()), fmi2OK);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(values[i], expected[i]) << stored[i];
    }
}

TEST_F(ValueAccess, IntegerAndBooleanWritesStoreExactDoubles) {
    const fmi2ValueReference vrs[] = {kInputA, kInputB,
                                      valueReferenceOf("channelA.quantisedState")};
    const fmi2Integer integers[] = {-7, INT32_MIN, INT32_MAX};
    ASSERT_EQ(api.fmi2SetInteger(instance.get(), vrs, 3, integers), fmi2OK);
    EXPECT_EQ(modelData()[vrs[0]], -7.0);
    EXPECT_EQ(modelData()[vrs[1]], -2147483648.0);
    EXPECT_EQ(modelData()[vrs[2]], 2147483647.0);

    const fmi2Boolean booleans[] = {5, 0, -1};
    ASSERT_EQ(api.fmi2SetBoolean(instance.get(), vrs, 3, booleans), fmi2OK);
    EXPECT_TRUE(sameBits(modelData()[vrs[0]], 1.0));
    EXPECT_TRUE(sameBits(modelData()[vrs[1]], 0.0));
    EXPECT_TRUE(sameBits(modelData()[vrs[2]], 1.0));
}

TEST_F(ValueAccess, AReferenceGivenTwiceKeepsTheLastValue) {
    const fmi2ValueReference vrs[] = {kInputA, kInputA};
    const double values[] = {1.0, 2.0};
    ASSERT_EQ(api.fmi2SetReal(instance.get(), vrs, 2, values), fmi2OK);
    EXPECT_EQ(modelData()[kInputA], 2.0);
}

TEST_F(ValueAccess, WritingAParameterRaisesTheFlagInEveryType) {
    const double real = 1.0;
    const fmi2Integer integer = 1;
    const fmi2Boolean boolean = 1;
    // Around the parameters' section: the constant, the initial values, the
    // first variable, the first state and the spare slot.
    for (fmi2ValueReference vr :
         {valueReferenceOf("pi"), valueReferenceOf("initialValues[0]"),
          valueReferenceOf("initialValues[19]"), valueReferenceOf("level.driveFactor"),
          valueReferenceOf("level.integral[0]"), valueReferenceOf("spare")}) {
        ASSERT_EQ(api.fmi2SetReal(instance.get(), &vr, 1, &real), fmi2OK);
        ASSERT_EQ(api.fmi2SetInteger(instance.get(), &vr, 1, &integer), fmi2OK);
        ASSERT_EQ(api.fmi2SetBoolean(instance.get(), &vr, 1, &boolean), fmi2OK);
        EXPECT_EQ(data().model.state.parametersChanged, 0) << vr;
    }
    for (fmi2ValueReference vr :
         {valueReferenceOf("level.capacity"), valueReferenceOf("parameters[23]"),
          valueReferenceOf("parameters[46]")}) {
        data().model.state.parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetReal(instance.get(), &vr, 1, &real), fmi2OK);
        EXPECT_EQ(data().model.state.parametersChanged, 1) << vr;
        data().model.state.parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetInteger(instance.get(), &vr, 1, &integer), fmi2OK);
        EXPECT_EQ(data().model.state.parametersChanged, 1) << vr;
        data().model.state.parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetBoolean(instance.get(), &vr, 1, &boolean), fmi2OK);
        EXPECT_EQ(data().model.state.parametersChanged, 1) << vr;
    }
}

TEST_F(ValueAccess, EmptyCallsSucceedWithoutTouchingAnything) {
    const RecordBytes before(data());
    EXPECT_EQ(api.fmi2SetReal(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2SetInteger(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2SetBoolean(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2GetReal(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2GetInteger(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_EQ(api.fmi2GetBoolean(instance.get(), nullptr, 0, nullptr), fmi2OK);
    EXPECT_TRUE(before.matches(data()));
}

TEST_F(ValueAccess, ABadReferenceRefusesTheWholeWrite) {
    // Valid references first, including a parameter: none of them is written.
    const fmi2ValueReference vrs[] = {valueReferenceOf("level.capacity"), kInputA,
                                      runtime::kModelDataSize};
    const fmi2ValueReference wrapped[] = {kInputA, 0xFFFFFFFFu};
    const double reals[] = {9.0, 9.0, 9.0};
    const fmi2Integer integers[] = {9, 9, 9};
    const fmi2Boolean booleans[] = {1, 1, 1};
    const RecordBytes before(data());
    EXPECT_EQ(api.fmi2SetReal(instance.get(), vrs, 3, reals), fmi2Error);
    EXPECT_EQ(api.fmi2SetInteger(instance.get(), vrs, 3, integers), fmi2Error);
    EXPECT_EQ(api.fmi2SetBoolean(instance.get(), vrs, 3, booleans), fmi2Error);
    EXPECT_EQ(api.fmi2SetReal(instance.get(), wrapped, 2, reals), fmi2Error);
    EXPECT_TRUE(before.matches(data()));
}

TEST_F(ValueAccess, ABadReferenceRefusesTheWholeRead) {
    const fmi2ValueReference vrs[] = {valueReferenceOf("pi"), kInputA, runtime::kModelDataSize};
    modelData()[kInputA] = 3.0;
    double reals[3] = {-1.0, -1.0, -1.0};
    fmi2Integer integers[3] = {kPattern, kPattern, kPattern};
    fmi2Boolean booleans[3] = {kPattern, kPattern, kPattern};
    EXPECT_EQ(api.fmi2GetReal(instance.get(), vrs, 3, reals), fmi2Error);
    EXPECT_EQ(api.fmi2GetInteger(instance.get(), vrs, 3, integers), fmi2Error);
    EXPECT_EQ(api.fmi2GetBoolean(instance.get(), vrs, 3, booleans), fmi2Error);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reals[i], -1.0);
        EXPECT_EQ(integers[i], kPattern);
        EXPECT_EQ(booleans[i], kPattern);
    }
}

TEST_F(ValueAccess, MissingArraysOrInstanceFailTheCall) {
    const fmi2ValueReference vr = kInputA;
    double real = 1.0;
    fmi2Integer integer = 1;
    fmi2Boolean boolean = 1;
    const RecordBytes before(data());
    EXPECT_EQ(api.fmi2SetReal(instance.get(), nullptr, 1, &real), fmi2Error);
    EXPECT_EQ(api.fmi2SetReal(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2SetInteger(instance.get(), nullptr, 1, &integer), fmi2Error);
    EXPECT_EQ(api.fmi2SetInteger(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2SetBoolean(instance.get(), nullptr, 1, &boolean), fmi2Error);
    EXPECT_EQ(api.fmi2SetBoolean(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2GetReal(instance.get(), nullptr, 1, &real), fmi2Error);
    EXPECT_EQ(api.fmi2GetReal(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2GetInteger(instance.get(), nullptr, 1, &integer), fmi2Error);
    EXPECT_EQ(api.fmi2GetInteger(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_EQ(api.fmi2GetBoolean(instance.get(), nullptr, 1, &boolean), fmi2Error);
    EXPECT_EQ(api.fmi2GetBoolean(instance.get(), &vr, 1, nullptr), fmi2Error);
    EXPECT_TRUE(before.matches(data()));
    EXPECT_EQ(real, 1.0);

    EXPECT_EQ(api.fmi2SetReal(nullptr, &vr, 1, &real), fmi2Error);
    EXPECT_EQ(api.fmi2SetInteger(nullptr, &vr, 1, &integer), fmi2Error);
    EXPECT_EQ(api.fmi2SetBoolean(nullptr, &vr, 1, &boolean), fmi2Error);
    EXPECT_EQ(api.fmi2GetReal(nullptr, &vr, 1, &real), fmi2Error);
    EXPECT_EQ(api.fmi2GetInteger(nullptr, &vr, 1, &integer), fmi2Error);
    EXPECT_EQ(api.fmi2GetBoolean(nullptr, &vr, 1, &boolean), fmi2Error);
    EXPECT_EQ(api.fmi2GetReal(nullptr, nullptr, 0, nullptr), fmi2Error);
    EXPECT_EQ(real, 1.0);
    EXPECT_EQ(integer, 1);
    EXPECT_EQ(boolean, 1);
}

TEST_F(ValueAccess, StringsAreNotSupported) {
    const fmi2ValueReference vr = kInputA;
    fmi2String text = "untouched";
    const fmi2String input = "x";
    const RecordBytes before(data());
    EXPECT_EQ(api.fmi2GetString(instance.get(), &vr, 1, &text), fmi2Error);
    EXPECT_EQ(api.fmi2SetString(instance.get(), &vr, 1, &input), fmi2Error);
    EXPECT_STREQ(text, "untouched");
    EXPECT_TRUE(before.matches(data()));
    EXPECT_TRUE(host.log.empty());
}

TEST_F(ValueAccess, ContinuousStatesComeAsABlockOfExactlyTwenty) {
    for (int i = 0; i < 20; ++i) {
        modelData()[equations::kStatesStart + i] = 0.25 * i - 1.0;
    }
    double x[21];
    for (double& v : x) v = -7.0;
    EXPECT_EQ(api.fmi2GetContinuousStates(instance.get(), x, 19), fmi2Error);
    EXPECT_EQ(api.fmi2GetContinuousStates(instance.get(), x, 21), fmi2Error);
    EXPECT_EQ(api.fmi2GetContinuousStates(instance.get(), x, 0), fmi2Error);
    for (double v : x) EXPECT_EQ(v, -7.0);
    EXPECT_EQ(api.fmi2GetContinuousStates(instance.get(), nullptr, 20), fmi2Error);
    EXPECT_EQ(api.fmi2GetContinuousStates(nullptr, x, 20), fmi2Error);

    ASSERT_EQ(api.fmi2GetContinuousStates(instance.get(), x, 20), fmi2OK);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(x[i], 0.25 * i - 1.0);
    EXPECT_EQ(x[20], -7.0);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace tarvo::testing
