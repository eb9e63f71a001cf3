// Inline forms of the library's operations for the fixed small shapes of
// the model's equations: 2 x 2 matrices (row-major, four doubles) and
// 2-vectors. Each performs exactly the floating-point operations of the
// general routine it stands for, in the same order and with the same
// decisions, so the results are the same bits; only the loops, the views,
// the workspace and the calls are gone.
//
// Two doubles that take part in the same operation travel as a Pair
// (matrix/pair.h), two at a time.
#ifndef TARVO_MATRIX_SMALL_OPS_H
#define TARVO_MATRIX_SMALL_OPS_H

#include "ieee/ieee_arithmetic.h"

#include <cmath>
#include <cstdint>

#include "matrix/pair.h"
#include "matrix/scalar.h"

namespace tarvo::matrix {

// m x v for the 2 x 2 matrix m, as matMul forms it: each element summed
// from 0.0, the term of the first column first, each product m(i, k) v(k).

// The same product for m given by its rows.
inline Pair matMulRows2x2By2(Pair firstRow, Pair secondRow, Pair v) {
    const Pair first = firstRow * v;    // m00 v0, m01 v1
    const Pair second = secondRow * v;  // m10 v0, m11 v1
    return (Pair{0.0, 0.0} + pairOf(first[0], second[0])) + pairOf(first[1], second[1]);
}

// The same product for m given by its columns.
inline Pair matMulColumns2x2By2(Pair firstColumn, Pair secondColumn, Pair v) {
    return (Pair{0.0, 0.0} + firstColumn * broadcastFirst(v)) + secondColumn * broadcastSecond(v);
}

// A 2 x 2 matrix factorised as luFactor factorises it: the rows in pivot
// order, L = (l00, 0; l10, l11) holding the pivots, U = (1, u01; 0, 1).
struct Lu2x2 {
    double l00;
    double u01;
    double l10;
    double l11;
};

// Whether luPivot exchanges the rows of a 2 x 2 matrix whose first column
// is (a00, a10): the second row wins only with a strictly larger magnitude
// than the first; a NaN never wins, and an all-zero column keeps the order.
inline bool luPivotSwaps2x2(double a00, double a10) {
    double largest = 0.0;
    if (std::fabs(a00) > largest) {
        largest = std::fabs(a00);
    }
    return std::fabs(a10) > largest;
}

// luFactor of the matrix (a00, a01; a10, a11) once the pivot is decided
// (kSwapped: the rows are exchanged):
// - the running determinant (sign x pivot) x det is tested for zero after
//   each pivot, so an underflowing product counts as singular, a NaN not;
// - the first row is divided by its pivot;
// - the second row is reduced only when its first element is non-zero.
// Returns false when the matrix is singular.
template <bool kSwapped>
inline bool luFactorPivoted2x2(double a00, double a01, double a10, double a11, Lu2x2& f) {
    f.l00 = kSwapped ? a10 : a00;
    f.u01 = kSwapped ? a11 : a01;
    f.l10 = kSwapped ? a00 : a10;
    f.l11 = kSwapped ? a01 : a11;

    double det = 1.0;
    det = ((kSwapped ? -1.0 : 1.0) * f.l00) * det;
    if (det == 0.0) {
        return false;
    }
    f.u01 = f.u01 / f.l00;
    if (f.l10 != 0.0) {
        f.l11 = f.l11 - f.u01 * f.l10;
    }
    det = (1.0 * f.l11) * det;
    return det != 0.0;
}

// d = x times the inverse of the factorised matrix, as matInverseDet and
// matInverseScaled form it: column j of the inverse solves L U c = e for
// unit vector j with its rows in pivot order (luPermute, luSubstitute),
// and the columns are stored transposed into d. Both columns are solved at
// once, column 0 in the first lane of each pair and column 1 in the second:
// - forward pass: z0 = e0 / l00 (l00 is never zero here, the determinant
//   test has caught it), then (e1 - l10 z0) / l11; a zero l11 (possible
//   only beside a NaN determinant) stops the pass there, which leaves the
//   second element at e1 and skips the backward pass;
// - backward pass: z0 - u01 x1, U's diagonal being 1.
// The first elements of the two columns form row 0 of the inverse, the
// second elements row 1.
// The first elements of the unit vectors in pivot order, divided by l00:
// the forward pass's first step, the same for every matrix with this l00.
template <bool kSwapped>
inline Pair luForwardFirst2x2(double l00) {
    constexpr Pair e0 = kSwapped ? Pair{0.0, 1.0} : Pair{1.0, 0.0};
    return e0 / l00;
}

template <bool kSwapped>
inline void luInverseRowsFrom2x2(const Lu2x2& f, Pair z0, double x, Pair& firstRow,
                                 Pair& secondRow) {
    constexpr Pair e1 = kSwapped ? Pair{1.0, 0.0} : Pair{0.0, 1.0};
    firstRow = z0;
    secondRow = e1;
    if (f.l11 != 0.0) {
        secondRow = (e1 - f.l10 * z0) / f.l11;
        firstRow = z0 - f.u01 * secondRow;
    }
    firstRow = firstRow * x;
    secondRow = secondRow * x;
}

template <bool kSwapped>
inline void luInverseRows2x2(const Lu2x2& f, double x, Pair& firstRow, Pair& secondRow) {
    luInverseRowsFrom2x2<kSwapped>(f, luForwardFirst2x2<kSwapped>(f.l00), x, firstRow, secondRow);
}

template <bool kSwapped>
inline void luInverseScaled2x2(const Lu2x2& f, double x, double* d) {
    Pair firstRow;
    Pair secondRow;
    luInverseRows2x2<kSwapped>(f, x, firstRow, secondRow);
    storePair(d, firstRow);
    storePair(d + 2, secondRow);
}

template <bool kSwapped>
inline bool matInverseScaledPivoted2x2(double* d, double x, const double* a) {
    Lu2x2 f{};
    if (!luFactorPivoted2x2<kSwapped>(a[0], a[1], a[2], a[3], f)) {
        return false;
    }
    luInverseScaled2x2<kSwapped>(f, x, d);
    return true;
}

// d = x times the inverse of the 2 x 2 matrix a (matInverseScaled). Returns
// false and leaves d as it was when a is singular. d must not share storage
// with a.
inline bool matInverseScaled2x2(double* d, double x, const double* a) {
    if (luPivotSwaps2x2(a[0], a[2])) {
        return matInverseScaledPivoted2x2<true>(d, x, a);
    }
    return matInverseScaledPivoted2x2<false>(d, x, a);
}

// d = the inverse of the 2 x 2 matrix a (matInverse); false, with d
// untouched, when a is singular. The factor 1.0 changes no bit: every
// element is the result of an arithmetic operation or a constant, so never
// a signalling NaN.
inline bool matInverse2x2(double* d, const double* a) {
    return matInverseScaled2x2(d, 1.0, a);
}

// scalarRem, inline: a less the whole multiple q x b, q being a / b
// truncated through a 32-bit integer.
inline double scalarRemInline(double a, double b) {
    const double quotient = a / b;
    const int32_t q = truncateToInt32(quotient);
    const double multiple = static_cast<double>(q) * b;
    return a - multiple;
}

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_SMALL_OPS_H
