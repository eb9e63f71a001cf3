// Scalar helpers: remainder through a 32-bit quotient, truncation, low bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "matrix/scalar.h"

namespace tarvo::matrix {
namespace {

static_assert(truncateToInt32(2147483647.0) == INT32_MAX);
static_assert(truncateToInt32(2147483647.9) == INT32_MAX);
static_assert(truncateToInt32(2147483648.0) == INT32_MIN);
static_assert(truncateToInt32(-2147483648.9) == INT32_MIN);
static_assert(truncateToInt32(-2147483649.0) == INT32_MIN);
static_assert(truncateToInt32(-2.9) == -2 && truncateToInt32(2.9) == 2);
static_assert(truncateToInt32(-0.5) == 0);

TEST(ScalarTruncate, NonFiniteGivesMinimum) {
    EXPECT_EQ(truncateToInt32(NAN), INT32_MIN);
    EXPECT_EQ(truncateToInt32(INFINITY), INT32_MIN);
    EXPECT_EQ(truncateToInt32(-INFINITY), INT32_MIN);
}

TEST(ScalarRem, TruncatesTowardZero) {
    EXPECT_EQ(scalarRem(7.5, 2), 1.5);
    EXPECT_EQ(scalarRem(-7.5, 2), -1.5);
    EXPECT_EQ(scalarRem(7.5, -2), 1.5);
    EXPECT_EQ(scalarRem(0.3, 0.1), 0.3 - 0.2);  // 0.3 / 0.1 is just below 3
    EXPECT_EQ(scalarRem(2147483647.5, 1), 0.5);
    EXPECT_EQ(scalarRem(-2147483648.5, 1), -0.5);
}

TEST(ScalarRem, QuotientOutOfRangeOrNotFinite) {
    EXPECT_EQ(scalarRem(1e10, 1), 1e10 + 2147483648.0);
    EXPECT_EQ(scalarRem(2147483648.0, 1), 4294967296.0);
    EXPECT_EQ(scalarRem(-2147483649.0, 1), -1.0);
    EXPECT_EQ(scalarRem(5, 0), 5);
    EXPECT_EQ(scalarRem(-5, 0), -5);
    const double zero = scalarRem(0, 0);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    EXPECT_EQ(3.25 - scalarRem(3.25, 0), 0.0);
    EXPECT_TRUE(std::isnan(scalarRem(NAN, 1)));
    EXPECT_TRUE(std::isnan(scalarRem(1, NAN)));
    EXPECT_EQ(scalarRem(INFINITY, 1), INFINITY);
}

TEST(ScalarLowBits, ReadsAndWritesOnlyTheLowWord) {
    EXPECT_EQ(scalarLowBits(1.0), 0);
    const uint64_t pattern = 0x3FF0000080000001u;
    double x;
    std::memcpy(&x, &pattern, sizeof x);
    EXPECT_EQ(scalarLowBits(x), INT32_MIN + 1);
    for (int32_t v : {0, 1, -1, INT32_MIN, INT32_MAX, 12345}) {
        EXPECT_EQ(scalarLowBits(scalarFromLowBits(v)), v);
    }
    EXPECT_EQ(scalarFromLowBits(1), std::numeric_limits<double>::denorm_min());
}

}  // namespace
}  // namespace tarvo::matrix
