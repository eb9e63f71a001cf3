// Elementwise operations, products and element transfer over views.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "matrix/matrix_ops.h"

namespace tarvo::matrix {
namespace {

// 1 + 1e-16 + 1e-16 is 1.0 summed left to right, but 1 + 2^-52 if the two
// small terms were added first: a different order shows in the bits.
constexpr double tiny = 1e-16;

template <int N>
void expectElements(const double (&actual)[N], const double (&expected)[N]) {
    for (int k = 0; k < N; ++k) {
        EXPECT_EQ(std::memcmp(&actual[k], &expected[k], sizeof(double)), 0)
            << "element " << k << ": " << actual[k] << " vs " << expected[k];
    }
}

TEST(MatrixElementwise, AddSubScaleInPlaceAndCountFromDestination) {
    double a[3] = {1, 2, 9};
    double b[3] = {10, 20, 30};
    matAdd({a, 1, 2}, {a, 1, 2}, {b, 1, 2});
    expectElements(a, {11, 22, 9});
    matSub({a, 2, 1}, {a, 2, 1}, {b, 2, 1});
    expectElements(a, {1, 2, 9});
    matScale({a, 1, 3}, {a, 1, 3}, 0.5);
    expectElements(a, {0.5, 1, 4.5});
    matScale({a, 0, 3}, {b, 1, 3}, 2.0);
    matCopy({a, 3, 0}, {b, 1, 3});
    expectElements(a, {0.5, 1, 4.5});
}

TEST(MatrixElementwise, BroadcastAndSignedZeros) {
    double a[2] = {0.0, 3.0};
    double d[3] = {7, 7, 7};
    matNegate({d, 1, 2}, {a, 1, 2});
    expectElements(d, {-0.0, -3.0, 7});
    matSubScalar({d, 1, 1}, {a, 1, 1}, 0.0);
    expectElements(d, {0.0, -3.0, 7});
    matScalarSub({d, 1, 2}, 1.0, {a, 1, 2});
    expectElements(d, {1.0, -2.0, 7});
    matDivScalar({d, 1, 2}, {a, 1, 2}, 0.0);
    EXPECT_TRUE(std::isnan(d[0]));
    EXPECT_EQ(d[1], INFINITY);
    matMulElementwise({d, 1, 1}, {a, 1, 2}, {a, 1, 2});  // A's count, not D's
    expectElements(d, {0.0, 9.0, 7});
}

TEST(MatrixElementwise, SumElementsAddsInStorageOrder) {
    double m[4] = {1.0, tiny, tiny, 5.0};
    double sum = -1.0;
    matSumElements(&sum, {m, 1, 3});
    EXPECT_EQ(sum, 1.0);
    matSumElements(&sum, {m, 0, 4});
    EXPECT_EQ(sum, 0.0);
    EXPECT_FALSE(std::signbit(sum));
}

TEST(MatrixProduct, SumsTermByTermOverInnerDimensionOfB) {
    // A is 1 x 3 in storage with stride 4; only B.rows = 3 terms are summed.
    double a[4] = {1.0, tiny, tiny, 1e300};
    double b[3] = {1.0, 1.0, 1.0};
    double d[1] = {42};
    matMul({d, 1, 1}, {a, 1, 4}, {b, 3, 1});
    expectElements(d, {1.0});
}

TEST(MatrixProduct, MatrixTimesVectorAndEmptyShapes) {
    double a[4] = {1, 2, 3, 4};
    double b[2] = {5, 6};
    double d[2] = {-1, -1};
    matMul({d, 2, 1}, {a, 2, 2}, {b, 2, 1});
    expectElements(d, {17, 39});
    matMul({d, 2, 1}, {a, 2, 2}, {b, 0, 1});
    expectElements(d, {0, 0});
    d[0] = -1;
    matMul({d, 0, 1}, {a, 2, 2}, {b, 2, 1});
    EXPECT_EQ(d[0], -1);
}

TEST(MatrixTranspose, ReadsSourceWithStrideOfDestinationRows) {
    double a[6] = {1, 2, 3, 4, 5, 6};
    double d[6] = {};
    matTranspose({d, 2, 2}, {a, 2, 2});
    expectElements(d, {1, 3, 2, 4, 0, 0});
    matTranspose({d, 2, 3}, {a, 3, 2});
    expectElements(d, {1, 3, 5, 2, 4, 6});
    matTranspose({d, 6, 1}, {a, 1, 6});
    expectElements(d, {1, 2, 3, 4, 5, 6});
}

TEST(MatrixDot, CountsColumnsOfFirstOperand) {
    double a[3] = {1.0, tiny, tiny};
    double b[3] = {1.0, 1.0, 1.0};
    double out = -1.0;
    matDot(&out, {a, 1, 3}, {b, 3, 1});
    EXPECT_EQ(out, 1.0);
    double c[2] = {3, 4};
    matDot(&out, {c, 2, 1}, {c, 1, 2});  // one column: first product only
    EXPECT_EQ(out, 9.0);
    matDot(&out, {c, 1, 0}, {c, 1, 0});
    EXPECT_EQ(out, 0.0);
}

TEST(MatrixTransfer, IdentityCopyRowsColumns) {
    double m[9];
    std::memset(m, 0xff, sizeof m);
    matIdentity({m, 2, 2});
    EXPECT_EQ(m[0], 1.0);
    EXPECT_EQ(m[1], 0.0);
    EXPECT_EQ(m[2], 0.0);
    EXPECT_EQ(m[3], 1.0);
    EXPECT_TRUE(std::isnan(m[4]));
    matIdentity({m, 1, 1});
    EXPECT_EQ(m[0], 1.0);

    double g[6] = {1, 2, 3, 4, 5, 6};
    double v[3] = {};
    matGetRow({v, 1, 3}, {g, 2, 3}, 1);
    expectElements(v, {4, 5, 6});
    matGetColumn({v, 2, 1}, {g, 2, 3}, 2);
    expectElements(v, {3, 6, 6});
    matSetRow({g, 2, 3}, {v, 1, 3}, 0);
    expectElements(g, {3, 6, 6, 4, 5, 6});
    matSetColumn({g, 2, 3}, {v, 2, 1}, 1);
    expectElements(g, {3, 3, 6, 4, 6, 6});
    matCopy({v, 1, 2}, {g + 3, 1, 3});
    expectElements(v, {4, 6, 6});
}

TEST(MatrixTransfer, ElementPositionsAreOneBasedWithSlack) {
    double v[4] = {10, 20, 30, 40};
    double out = 0;
    for (double p : {1.0, 0.95, 0.5, 1.85}) {
        matGetElement(&out, {v, 4, 1}, p);
        EXPECT_EQ(out, 10) << p;
    }
    for (double p : {1.95, 2.0, 2.85}) {
        matGetElement(&out, {v, 4, 1}, p);
        EXPECT_EQ(out, 20) << p;
    }
    matSetElement({v, 2, 2}, 4.0, -1.0);
    matSetElement({v, 2, 2}, 3.0, -2.0);
    expectElements(v, {10, 20, -2, -1});
}

}  // namespace
}  // namespace tarvo::matrix
