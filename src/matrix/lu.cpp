// LU factorisation with partial pivoting (P · A = L · U, L holding the
// pivots, U a unit upper triangle) and the inverse, solve, division and
// power built on it. A singular matrix shows only as a determinant of 0.0.
#include "ieee/ieee_arithmetic.h"

#include "matrix/lu.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "matrix/matrix_ops.h"
#include "matrix/scalar.h"

namespace tarvo::matrix {

namespace {

// Element (i, j); the column count is the row stride.
double& at(const MatrixView& m, std::ptrdiff_t i, std::ptrdiff_t j) {
    return m.data[i * m.columns + j];
}

// Length of a row or column vector: the larger dimension, or 0 when the
// vector has no elements at all (a 0 x 1 view holds nothing to write).
std::ptrdiff_t vectorLength(const MatrixView& v) {
    if (v.rows <= 0 || v.columns <= 0) {
        return 0;
    }
    return v.rows > v.columns ? v.rows : v.columns;
}

std::ptrdiff_t squareOf(int32_t n) {
    return static_cast<std::ptrdiff_t>(n) * static_cast<std::ptrdiff_t>(n);
}

}  // namespace

void matSwapRows(const MatrixView& m, int32_t r1, int32_t r2) {
    for (std::ptrdiff_t j = 0; j < m.columns; ++j) {
        const double kept = at(m, r1, j);
        at(m, r1, j) = at(m, r2, j);
        at(m, r2, j) = kept;
    }
}

// The first row of largest magnitude wins; a NaN never compares greater,
// and an all-zero column keeps row k.
int32_t luPivot(const MatrixView& a, const MatrixView& p, int32_t k) {
    const int32_t n = a.rows;
    if (k >= n) {
        return 1;
    }
    int32_t best = k;
    double largest = 0.0;
    for (int32_t r = k; r < n; ++r) {
        const double magnitude = std::fabs(at(a, r, k));
        if (magnitude > largest) {
            largest = magnitude;
            best = r;
        }
    }
    if (best > k) {
        matSwapRows(a, k, best);
        matSwapRows(p, k, best);
        return -1;
    }
    return 1;
}

// Singular when the running product of signed pivots is zero, which also
// catches a determinant that underflows; a NaN product carries on.
double luFactor(const MatrixView& a, const MatrixView& p) {
    const int32_t n = a.rows;
    double det = 1.0;
    if (n <= 0) {
        return 1.0;
    }
    for (int32_t k = 0; k < n; ++k) {
        const int32_t sign = luPivot(a, p, k);
        det = (static_cast<double>(sign) * at(a, k, k)) * det;
        if (det == 0.0) {
            return 0.0;
        }
        const double pivot = at(a, k, k);
        for (int32_t j = k + 1; j < n; ++j) {
            at(a, k, j) = at(a, k, j) / pivot;
        }
        for (int32_t r = k + 1; r < n; ++r) {
            const double t = at(a, r, k);
            if (t != 0.0) {
                for (int32_t j = k + 1; j < n; ++j) {
                    at(a, r, j) = at(a, r, j) - at(a, k, j) * t;
                }
            }
        }
    }
    return det;
}

void luInitPermutation(const MatrixView& p) {
    const std::ptrdiff_t length = vectorLength(p);
    for (std::ptrdiff_t i = 0; i < length; ++i) {
        p.data[i] = static_cast<double>(i);
    }
}

void luPermute(const MatrixView& v, const MatrixView& p, double* scratch) {
    const std::ptrdiff_t length = vectorLength(v);
    for (std::ptrdiff_t i = 0; i < length; ++i) {
        scratch[i] = v.data[truncateToInt32(p.data[i])];
    }
    if (length > 0) {
        std::memcpy(v.data, scratch, static_cast<std::size_t>(length) * sizeof(double));
    }
}

// Forward pass divides by L's diagonal; a zero there stops at once. The
// backward pass needs no division, U's diagonal being 1.
void luSubstitute(const MatrixView& f, const MatrixView& b) {
    const int32_t n = f.rows;
    for (int32_t i = 0; i < n; ++i) {
        double s = b.data[i];
        for (int32_t j = 0; j < i; ++j) {
            s = s - at(f, i, j) * b.data[j];
        }
        if (at(f, i, i) == 0.0) {
            return;
        }
        b.data[i] = s / at(f, i, i);
    }
    for (int32_t i = n - 1; i >= 0; --i) {
        double s = b.data[i];
        for (int32_t j = i + 1; j < n; ++j) {
            s = s - at(f, i, j) * b.data[j];
        }
        b.data[i] = s;
    }
}

// Workspace of inverseWorkspaceSize(n) doubles: the factorised copy F, the
// permutation P, the transposed inverse R, the right-hand side y and the
// reordering scratch S, one after another.
double matInverseDet(const MatrixView& d, const MatrixView& a, double* workspace) {
    const int32_t n = a.rows;
    const std::ptrdiff_t nn = squareOf(n);
    const MatrixView factors{workspace, n, n};
    const MatrixView permutation{workspace + nn, n, 1};
    const MatrixView inverseRows{workspace + nn + n, n, n};
    const MatrixView rhs{workspace + 2 * nn + n, 1, n};
    double* const scratch = workspace + 2 * nn + 2 * n;

    luInitPermutation(permutation);
    matIdentity(inverseRows);
    matCopy(factors, a);

    const double det = luFactor(factors, permutation);
    if (det == 0.0) {
        return 0.0;
    }
    for (int32_t i = 0; i < n; ++i) {
        matGetRow(rhs, inverseRows, i);
        luPermute(rhs, permutation, scratch);
        luSubstitute(factors, rhs);
        matSetRow(inverseRows, rhs, i);
    }
    matTranspose(d, inverseRows);
    return det;
}

void matInverse(const MatrixView& d, const MatrixView& a, double* workspace) {
    matInverseDet(d, a, workspace);
}

void matInverseScaled(const MatrixView& d, double x, const MatrixView& a, double* workspace) {
    const double det = matInverseDet(d, a, workspace);
    if (det == 0.0) {
        return;
    }
    const std::ptrdiff_t count =
        static_cast<std::ptrdiff_t>(d.rows) * static_cast<std::ptrdiff_t>(d.columns);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = d.data[k] * x;
    }
}

// Workspace: the permutation (n doubles), then the reordering scratch.
double matSolveInPlace(const MatrixView& a, const MatrixView& b, double* workspace) {
    const int32_t n = a.rows;
    const MatrixView permutation{workspace, n, 1};
    luInitPermutation(permutation);
    const double det = luFactor(a, permutation);
    if (det == 0.0) {
        return 0.0;
    }
    luPermute(b, permutation, workspace + n);
    luSubstitute(a, b);
    return det;
}

double matSolve(const MatrixView& a, const MatrixView& f, const MatrixView& x,
                const MatrixView& b, double* workspace) {
    matCopy(f, a);
    matCopy(x, b);
    return matSolveInPlace(f, x, workspace);
}

// Workspace: the inverse (n^2 doubles), then an inverse workspace.
void matRightDivide(const MatrixView& d, const MatrixView& x, const MatrixView& a,
                    double* workspace) {
    const MatrixView inverse{workspace, a.rows, a.columns};
    const double det = matInverseDet(inverse, a, workspace + squareOf(a.rows));
    if (det != 0.0) {
        matMul(d, x, inverse);
    }
}

void matLeftDivide(const MatrixView& d, const MatrixView& a, const MatrixView& b,
                   double* workspace) {
    const MatrixView inverse{workspace, a.rows, a.columns};
    const double det = matInverseDet(inverse, a, workspace + squareOf(a.rows));
    if (det != 0.0) {
        matMul(d, inverse, b);
    }
}

// The exponent is |x| + 0.1 truncated, so 2.95 gives 3 and 0.85 gives 0;
// x < 0 inverts the result. Workspace: the product (n^2 doubles), then an
// inverse workspace when x < 0. A singular power stays the positive power,
// since the inverse then leaves the product, a copy of D, as it was.
void matPower(const MatrixView& d, const MatrixView& a, double x, double* workspace) {
    const int32_t exponent = truncateToInt32(std::fabs(x) + 0.1);
    const MatrixView product{workspace, d.rows, d.columns};
    matIdentity(d);
    for (int32_t i = 0; i < exponent; ++i) {
        matMul(product, d, a);
        matCopy(d, product);
    }
    if (x < 0.0) {
        matInverse(product, d, workspace + squareOf(d.rows));
        matCopy(d, product);
    }
}

}  // namespace tarvo::matrix
