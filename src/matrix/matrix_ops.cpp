// Dense-matrix operations over views. Elementwise operations address their
// operands by the destination's flat index, so in-place use is allowed;
// products and transposes write while reading and need separate storage.
#include "ieee/ieee_arithmetic.h"

#include "matrix/matrix_ops.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "matrix/scalar.h"

namespace tarvo::matrix {

namespace {

// rows x columns, widened so that the product cannot overflow; 0 for an
// empty or negative shape.
std::ptrdiff_t elementCount(const MatrixView& m) {
    const std::ptrdiff_t count =
        static_cast<std::ptrdiff_t>(m.rows) * static_cast<std::ptrdiff_t>(m.columns);
    return count > 0 ? count : 0;
}

// Element (i, j); the column count is the row stride.
double& at(const MatrixView& m, std::ptrdiff_t i, std::ptrdiff_t j) {
    return m.data[i * m.columns + j];
}

void copyDoubles(double* to, const double* from, std::ptrdiff_t count) {
    if (count > 0) {
        std::memcpy(to, from, static_cast<std::size_t>(count) * sizeof(double));
    }
}

void fillWith(const MatrixView& d, double x) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = x;
    }
}

}  // namespace

void matAdd(const MatrixView& d, const MatrixView& a, const MatrixView& b) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] + b.data[k];
    }
}

void matSub(const MatrixView& d, const MatrixView& a, const MatrixView& b) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] - b.data[k];
    }
}

void matScale(const MatrixView& d, const MatrixView& a, double x) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] * x;
    }
}

// The inner dimension is B's row count; A's column count is only its stride.
// Each partial sum is stored in D before the next term is added.
void matMul(const MatrixView& d, const MatrixView& a, const MatrixView& b) {
    for (std::ptrdiff_t i = 0; i < d.rows; ++i) {
        for (std::ptrdiff_t j = 0; j < d.columns; ++j) {
            double& sum = at(d, i, j);
            sum = 0.0;
            for (std::ptrdiff_t k = 0; k < b.rows; ++k) {
                sum = sum + at(a, i, k) * at(b, k, j);
            }
        }
    }
}

// A is read with row stride D.rows: it is taken to be D.columns x D.rows.
void matTranspose(const MatrixView& d, const MatrixView& a) {
    for (std::ptrdiff_t i = 0; i < d.rows; ++i) {
        for (std::ptrdiff_t j = 0; j < d.columns; ++j) {
            at(d, i, j) = a.data[j * d.rows + i];
        }
    }
}

// The first operand is a row vector: its column count is the length.
void matDot(double* out, const MatrixView& a, const MatrixView& b) {
    *out = 0.0;
    for (std::ptrdiff_t k = 0; k < a.columns; ++k) {
        *out = *out + a.data[k] * b.data[k];
    }
}

void matCopy(const MatrixView& d, const MatrixView& a) {
    copyDoubles(d.data, a.data, elementCount(d));
}

void matIdentity(const MatrixView& m) {
    const std::ptrdiff_t count = elementCount(m);
    if (count > 0) {
        std::memset(m.data, 0, static_cast<std::size_t>(count) * sizeof(double));
    }
    for (std::ptrdiff_t i = 0; i < m.rows; ++i) {
        m.data[i * (static_cast<std::ptrdiff_t>(m.columns) + 1)] = 1.0;
    }
}

void matGetRow(const MatrixView& v, const MatrixView& m, int32_t r) {
    copyDoubles(v.data, &at(m, r, 0), m.columns);
}

// The row starts at r x v.columns: v is a row vector as long as M's rows.
void matSetRow(const MatrixView& m, const MatrixView& v, int32_t r) {
    copyDoubles(m.data + static_cast<std::ptrdiff_t>(r) * v.columns, v.data, v.columns);
}

void matNegate(const MatrixView& d, const MatrixView& a) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = -a.data[k];
    }
}

void matDivScalar(const MatrixView& d, const MatrixView& a, double x) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] / x;
    }
}

void matAddScalar(const MatrixView& d, const MatrixView& a, double x) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] + x;
    }
}

void matSubScalar(const MatrixView& d, const MatrixView& a, double x) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] - x;
    }
}

void matScalarAdd(const MatrixView& d, double x, const MatrixView& a) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = x + a.data[k];
    }
}

void matScalarMul(const MatrixView& d, double x, const MatrixView& a) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = x * a.data[k];
    }
}

void matScalarSub(const MatrixView& d, double x, const MatrixView& a) {
    const std::ptrdiff_t count = elementCount(d);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = x - a.data[k];
    }
}

// The count comes from A, not from D.
void matMulElementwise(const MatrixView& d, const MatrixView& a, const MatrixView& b) {
    const std::ptrdiff_t count = elementCount(a);
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        d.data[k] = a.data[k] * b.data[k];
    }
}

void matFill(const MatrixView& d, double x) {
    fillWith(d, x);
}

void matFillSum(const MatrixView& d, double a, double b) {
    fillWith(d, a + b);
}

void matFillDifference(const MatrixView& d, double a, double b) {
    fillWith(d, a - b);
}

void matFillProduct(const MatrixView& d, double a, double b) {
    fillWith(d, a * b);
}

void matFillQuotient(const MatrixView& d, double a, double b) {
    fillWith(d, a / b);
}

void matFillPower(const MatrixView& d, double a, double b) {
    fillWith(d, scalarPow(a, b));
}

void matSumElements(double* out, const MatrixView& m) {
    const std::ptrdiff_t count = elementCount(m);
    *out = 0.0;
    for (std::ptrdiff_t k = 0; k < count; ++k) {
        *out = *out + m.data[k];
    }
}

void matGetColumn(const MatrixView& v, const MatrixView& m, int32_t j) {
    for (std::ptrdiff_t k = 0; k < m.rows; ++k) {
        v.data[k] = at(m, k, j);
    }
}

void matSetColumn(const MatrixView& m, const MatrixView& v, int32_t j) {
    for (std::ptrdiff_t k = 0; k < m.rows; ++k) {
        at(m, k, j) = v.data[k];
    }
}

// Positions are 1-based in storage order; subtracting 0.9 rather than 1.0
// lets a position slightly below a whole number still select that element.
void matGetElement(double* out, const MatrixView& v, double p) {
    *out = v.data[truncateToInt32(p - 0.9)];
}

void matSetElement(const MatrixView& v, double p, double value) {
    v.data[truncateToInt32(p - 0.9)] = value;
}

}  // namespace tarvo::matrix
