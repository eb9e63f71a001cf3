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
    ModelInstance& data() { return record(instance); }
    double* modelData() { return record(instance).modelData; }

    InstanceHandle instance;
};

TEST_F(ValueAccess, RealsTravelUnchangedThroughEveryReference) {
    std::vector<fmi2ValueReference> vrs;
    std::vector<double> values;
    for (fmi2ValueReference vr = 0; vr < 247; ++vr) {
        vrs.push_back(vr);
        values.push_back(vr % 3 == 0 ? -0.0 : 1.0 / (vr + 0.5));
    }
    values[7] = kNaN;
    values[246] = -kInf;
    ASSERT_EQ(api.fmi2SetReal(instance.get(), vrs.data(), vrs.size(), values.data()), fmi2OK);
    std::vector<double> back(247, 1.0);
    ASSERT_EQ(api.fmi2GetReal(instance.get(), vrs.data(), vrs.size(), back.data()), fmi2OK);
    EXPECT_TRUE(sameBits(back, values));
    EXPECT_TRUE(sameBits(modelData()[246], -kInf));
}

TEST_F(ValueAccess, IntegersTruncateTowardZeroAndOutOfRangeGivesTheMostNegative) {
    const double stored[] = {2.9,           -2.9,          3e10,         -3e10,
                             kNaN,          kInf,          -kInf,        2147483647.9,
                             -2147483648.9, 2147483648.0,  -2147483649.0, -0.0};
    const int32_t expected[] = {2,          -2,          INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                INT32_MIN,  INT32_MAX,   INT32_MIN, INT32_MIN, INT32_MIN, 0};
    constexpr size_t n = sizeof stored / sizeof stored[0];
    std::vector<fmi2ValueReference> vrs;
    for (size_t i = 0; i < n; ++i) {
        vrs.push_back(static_cast<fmi2ValueReference>(68 + i));
        modelData()[68 + i] = stored[i];
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
        vrs.push_back(static_cast<fmi2ValueReference>(100 + i));
        modelData()[100 + i] = stored[i];
    }
    std::vector<fmi2Boolean> values(n, kPattern);
    ASSERT_EQ(api.fmi2GetBoolean(instance.get(), vrs.data(), n, values.data()), fmi2OK);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(values[i], expected[i]) << stored[i];
    }
}

TEST_F(ValueAccess, IntegerAndBooleanWritesStoreExactDoubles) {
    const fmi2ValueReference vrs[] = {203, 204, 205};
    const fmi2Integer integers[] = {-7, INT32_MIN, INT32_MAX};
    ASSERT_EQ(api.fmi2SetInteger(instance.get(), vrs, 3, integers), fmi2OK);
    EXPECT_EQ(modelData()[203], -7.0);
    EXPECT_EQ(modelData()[204], -2147483648.0);
    EXPECT_EQ(modelData()[205], 2147483647.0);

    const fmi2Boolean booleans[] = {5, 0, -1};
    ASSERT_EQ(api.fmi2SetBoolean(instance.get(), vrs, 3, booleans), fmi2OK);
    EXPECT_TRUE(sameBits(modelData()[203], 1.0));
    EXPECT_TRUE(sameBits(modelData()[204], 0.0));
    EXPECT_TRUE(sameBits(modelData()[205], 1.0));
}

TEST_F(ValueAccess, AReferenceGivenTwiceKeepsTheLastValue) {
    const fmi2ValueReference vrs[] = {203, 203};
    const double values[] = {1.0, 2.0};
    ASSERT_EQ(api.fmi2SetReal(instance.get(), vrs, 2, values), fmi2OK);
    EXPECT_EQ(modelData()[203], 2.0);
}

TEST_F(ValueAccess, WritingAParameterRaisesTheFlagInEveryType) {
    const double real = 1.0;
    const fmi2Integer integer = 1;
    const fmi2Boolean boolean = 1;
    for (fmi2ValueReference vr : {0u, 48u, 67u, 68u, 206u, 246u}) {
        ASSERT_EQ(api.fmi2SetReal(instance.get(), &vr, 1, &real), fmi2OK);
        ASSERT_EQ(api.fmi2SetInteger(instance.get(), &vr, 1, &integer), fmi2OK);
        ASSERT_EQ(api.fmi2SetBoolean(instance.get(), &vr, 1, &boolean), fmi2OK);
        EXPECT_EQ(data().parametersChanged, 0) << vr;
    }
    for (fmi2ValueReference vr : {1u, 24u, 47u}) {
        data().parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetReal(instance.get(), &vr, 1, &real), fmi2OK);
        EXPECT_EQ(data().parametersChanged, 1) << vr;
        data().parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetInteger(instance.get(), &vr, 1, &integer), fmi2OK);
        EXPECT_EQ(data().parametersChanged, 1) << vr;
        data().parametersChanged = 0;
        ASSERT_EQ(api.fmi2SetBoolean(instance.get(), &vr, 1, &boolean), fmi2OK);
        EXPECT_EQ(data().parametersChanged, 1) << vr;
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
    const fmi2ValueReference vrs[] = {1, 203, 247};
    const fmi2ValueReference wrapped[] = {203, 0xFFFFFFFFu};
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
    const fmi2ValueReference vrs[] = {0, 203, 247};
    modelData()[203] = 3.0;
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
    const fmi2ValueReference vr = 203;
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
    const fmi2ValueReference vr = 203;
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
        data().states[i] = 0.25 * i - 1.0;
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
