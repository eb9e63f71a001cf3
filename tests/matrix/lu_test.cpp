// LU factorisation, inverses, solve, division and matrix power.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "matrix/lu.h"
#include "matrix/matrix_ops.h"

namespace tarvo::matrix {
namespace {

constexpr double kept = -777.0;  // marks storage that must stay untouched

struct Inverse2 {
    double d[4] = {kept, kept, kept, kept};
    double workspace[inverseWorkspaceSize(2)] = {};
    double det = kept;
};

Inverse2 invert2(double a0, double a1, double a2, double a3) {
    double a[4] = {a0, a1, a2, a3};
    const double source[4] = {a0, a1, a2, a3};
    Inverse2 result;
    result.det = matInverseDet({result.d, 2, 2}, {a, 2, 2}, result.workspace);
    EXPECT_EQ(std::memcmp(a, source, sizeof a), 0);  // the source is only read
    return result;
}

void expect4(const double* d, double d0, double d1, double d2, double d3) {
    EXPECT_EQ(d[0], d0);
    EXPECT_EQ(d[1], d1);
    EXPECT_EQ(d[2], d2);
    EXPECT_EQ(d[3], d3);
}

TEST(LuInverse, DiagonalExchangeAndTie) {
    Inverse2 diagonal = invert2(2, 0, 0, 4);
    EXPECT_EQ(diagonal.det, 8.0);
    expect4(diagonal.d, 0.5, 0, 0, 0.25);

    Inverse2 exchange = invert2(0, 1, 1, 0);
    EXPECT_EQ(exchange.det, -1.0);
    expect4(exchange.d, 0, 1, 1, 0);

    Inverse2 tie = invert2(1, 2, -1, 3);
    EXPECT_EQ(tie.det, 5.0);
    expect4(tie.d, 0.6, -0.4, 0.2, 0.2);
}

TEST(LuInverse, SingularLeavesDestinationUntouched) {
    Inverse2 singular = invert2(1, 2, 2, 4);
    EXPECT_EQ(singular.det, 0.0);
    EXPECT_FALSE(std::signbit(singular.det));  // the running product was -0.0
    expect4(singular.d, kept, kept, kept, kept);

    Inverse2 underflow = invert2(1e-200, 0, 0, 1e-200);
    EXPECT_EQ(underflow.det, 0.0);
    expect4(underflow.d, kept, kept, kept, kept);

    double a[4] = {1, 2, 2, 4};
    double d[4] = {kept, kept, kept, kept};
    double workspace[3 * 4 + 3 * 2];
    matInverseScaled({d, 2, 2}, 3.0, {a, 2, 2}, workspace);
    matRightDivide({d, 2, 2}, {a, 2, 2}, {a, 2, 2}, workspace);
    matLeftDivide({d, 2, 2}, {a, 2, 2}, {a, 2, 2}, workspace);
    expect4(d, kept, kept, kept, kept);
}

TEST(LuInverse, NaNPivotNeverWinsAndDoesNotEndFactorisation) {
    double a[4] = {NAN, 1, 2, 3};
    double p[2];
    luInitPermutation({p, 2, 1});
    EXPECT_EQ(luPivot({a, 2, 2}, {p, 2, 1}, 0), -1);
    EXPECT_EQ(a[0], 2.0);
    EXPECT_EQ(p[0], 1.0);

    double later[4] = {1, 0, NAN, 1};
    luInitPermutation({p, 2, 1});
    EXPECT_EQ(luPivot({later, 2, 2}, {p, 2, 1}, 0), 1);
    EXPECT_EQ(p[0], 0.0);

    Inverse2 allNaN = invert2(NAN, 1, NAN, 3);
    EXPECT_TRUE(std::isnan(allNaN.det));
    EXPECT_NE(allNaN.d[0], kept);  // not singular: the destination is written
}

TEST(LuFactor, FirstLargestMagnitudeWinsAndRowsMoveWhole) {
    double a[9] = {1, 4, 7, -3, 5, 8, 3, 6, 10};
    double p[3];
    luInitPermutation({p, 3, 1});
    EXPECT_EQ(luPivot({a, 3, 3}, {p, 3, 1}, 0), -1);
    EXPECT_EQ(p[0], 1.0);
    EXPECT_EQ(p[1], 0.0);
    EXPECT_EQ(p[2], 2.0);
    EXPECT_EQ(a[0], -3.0);
    EXPECT_EQ(a[5], 7.0);
    EXPECT_EQ(luPivot({a, 3, 3}, {p, 3, 1}, 3), 1);

    double zeroColumn[4] = {0, 1, 0, 2};
    EXPECT_EQ(luPivot({zeroColumn, 2, 2}, {p, 2, 1}, 0), 1);
}

TEST(LuFactor, StopsOnceTheRunningDeterminantIsZero) {
    // The determinant underflows at row 1: row 1 keeps its undivided U part,
    // and the infinite pivot after it cannot turn the product into NaN.
    double a[9] = {1e-200, 0, 0, 0, 1e-200, 5, 0, 0, INFINITY};
    double p[3];
    luInitPermutation({p, 3, 1});
    const double det = luFactor({a, 3, 3}, {p, 3, 1});
    EXPECT_EQ(det, 0.0);
    EXPECT_EQ(a[5], 5.0);

    double singular[4] = {1, 2, 2, 4};
    const double zero = luFactor({singular, 2, 2}, {p, 2, 1});
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    EXPECT_EQ(luFactor({singular, 0, 0}, {p, 0, 1}), 1.0);
}

TEST(LuInverse, ThreeByThreeTimesSourceIsIdentity) {
    double a[9] = {0, 2, 1, 1, 1, 0, 2, 0, 1};
    double d[9];
    double workspace[inverseWorkspaceSize(3)];
    EXPECT_DOUBLE_EQ(matInverseDet({d, 3, 3}, {a, 3, 3}, workspace),
                     0 - 2 * (1 - 0) + 1 * (0 - 2));
    double product[9];
    matMul({product, 3, 3}, {a, 3, 3}, {d, 3, 3});
    for (int k = 0; k < 9; ++k) {
        EXPECT_NEAR(product[k], k % 4 == 0 ? 1.0 : 0.0, 1e-15) << k;
    }
}

TEST(LuInverse, OneByOneAndEmpty) {
    double a = -4.0;
    double d = kept;
    double workspace[inverseWorkspaceSize(1)];
    EXPECT_EQ(matInverseDet({&d, 1, 1}, {&a, 1, 1}, workspace), -4.0);
    EXPECT_EQ(d, -0.25);

    // An empty matrix needs no workspace and writes none.
    double none = kept;
    EXPECT_EQ(matInverseDet({&d, 0, 0}, {&a, 0, 0}, &none), 1.0);
    EXPECT_EQ(d, -0.25);
    EXPECT_EQ(none, kept);
}

TEST(LuInverse, ScaledMultipliesEveryElement) {
    double identity[4] = {1, 0, 0, 1};
    double d[4];
    double workspace[inverseWorkspaceSize(2)];
    matInverseScaled({d, 2, 2}, 2.0, {identity, 2, 2}, workspace);
    expect4(d, 2, 0, 0, 2);
    matInverseScaled({d, 2, 2}, 0.0, {identity, 2, 2}, workspace);
    expect4(d, 0, 0, 0, 0);
}

TEST(LuSubstitute, ZeroDiagonalStopsTheForwardPass) {
    double f[4] = {0, 1, 1, 1};
    double b[2] = {3, 4};
    luSubstitute({f, 2, 2}, {b, 2, 1});
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[1], 4);

    double g[4] = {2, 5, 1, 0};
    luSubstitute({g, 2, 2}, {b, 2, 1});
    EXPECT_EQ(b[0], 1.5);  // forward result kept, no backward pass
    EXPECT_EQ(b[1], 4);
}

TEST(LuSolve, SolvesAndPreservesInputs) {
    double a[4] = {1, 3, 2, 1};
    double b[2] = {7, 4};
    double f[4];
    double x[2];
    double workspace[4];
    EXPECT_EQ(matSolve({a, 2, 2}, {f, 2, 2}, {x, 2, 1}, {b, 2, 1}, workspace), -5.0);
    EXPECT_DOUBLE_EQ(x[0], 1.0);
    EXPECT_DOUBLE_EQ(x[1], 2.0);
    EXPECT_EQ(a[1], 3.0);
    EXPECT_EQ(b[0], 7.0);

    double singular[4] = {1, 2, 2, 4};
    EXPECT_EQ(matSolveInPlace({singular, 2, 2}, {b, 2, 1}, workspace), 0.0);
    EXPECT_EQ(b[0], 7.0);
    EXPECT_EQ(b[1], 4.0);
}

TEST(LuDivide, RightAndLeftByDiagonal) {
    double a[4] = {2, 0, 0, 4};
    double x[4] = {1, 2, 3, 4};
    double d[4];
    double workspace[3 * 4 + 3 * 2];
    matRightDivide({d, 2, 2}, {x, 2, 2}, {a, 2, 2}, workspace);
    expect4(d, 0.5, 0.5, 1.5, 1);
    matLeftDivide({d, 2, 2}, {a, 2, 2}, {x, 2, 2}, workspace);
    expect4(d, 0.5, 1, 0.75, 1);
}

TEST(LuPower, ExponentFromTruncatedMagnitude) {
    double a[4] = {1, 2, 3, 4};
    double d[4];
    double workspace[3 * 4 + 3 * 2];
    struct Case {
        double x;
        double d0, d1, d2, d3;
    };
    const Case cases[] = {
        {3, 37, 54, 81, 118}, {2.95, 37, 54, 81, 118}, {2.5, 7, 10, 15, 22},
        {0.95, 1, 2, 3, 4},   {0, 1, 0, 0, 1},         {0.85, 1, 0, 0, 1},
        {-0.5, 1, 0, 0, 1},   {NAN, 1, 0, 0, 1},       {1e10, 1, 0, 0, 1},
    };
    for (const Case& c : cases) {
        matPower({d, 2, 2}, {a, 2, 2}, c.x, workspace);
        SCOPED_TRACE(c.x);
        expect4(d, c.d0, c.d1, c.d2, c.d3);
    }
    matPower({d, 2, 2}, {a, 2, 2}, -1.0, workspace);
    EXPECT_DOUBLE_EQ(d[0], -2.0);
    EXPECT_DOUBLE_EQ(d[1], 1.0);
    EXPECT_DOUBLE_EQ(d[2], 1.5);
    EXPECT_DOUBLE_EQ(d[3], -0.5);

    double singular[4] = {1, 2, 2, 4};
    matPower({d, 2, 2}, {singular, 2, 2}, -2.0, workspace);
    expect4(d, 5, 10, 10, 20);  // stays the positive power
}

}  // namespace
}  // namespace tarvo::matrix
