// Dense-matrix operations over views: elementwise arithmetic, products,
// transposes, row and column transfer. No operation allocates, checks
// dimensions or reports a status: the destination comes first and the
// caller guarantees that the shapes fit.
#ifndef TARVO_MATRIX_MATRIX_OPS_H
#define TARVO_MATRIX_MATRIX_OPS_H

#include "matrix/matrix_view.h"

namespace tarvo::matrix {

// Operations the model's equations call.
void matAdd(const MatrixView& d, const MatrixView& a, const MatrixView& b);
void matSub(const MatrixView& d, const MatrixView& a, const MatrixView& b);
void matScale(const MatrixView& d, const MatrixView& a, double x);
void matMul(const MatrixView& d, const MatrixView& a, const MatrixView& b);
void matTranspose(const MatrixView& d, const MatrixView& a);
void matDot(double* out, const MatrixView& a, const MatrixView& b);
void matCopy(const MatrixView& d, const MatrixView& a);
void matIdentity(const MatrixView& m);
void matGetRow(const MatrixView& v, const MatrixView& m, int32_t r);
void matSetRow(const MatrixView& m, const MatrixView& v, int32_t r);

// The rest of the library.
void matNegate(const MatrixView& d, const MatrixView& a);
void matDivScalar(const MatrixView& d, const MatrixView& a, double x);
void matAddScalar(const MatrixView& d, const MatrixView& a, double x);
void matSubScalar(const MatrixView& d, const MatrixView& a, double x);
void matScalarAdd(const MatrixView& d, double x, const MatrixView& a);
void matScalarMul(const MatrixView& d, double x, const MatrixView& a);
void matScalarSub(const MatrixView& d, double x, const MatrixView& a);
void matMulElementwise(const MatrixView& d, const MatrixView& a, const MatrixView& b);
void matFill(const MatrixView& d, double x);
void matFillSum(const MatrixView& d, double a, double b);
void matFillDifference(const MatrixView& d, double a, double b);
void matFillProduct(const MatrixView& d, double a, double b);
void matFillQuotient(const MatrixView& d, double a, double b);
void matFillPower(const MatrixView& d, double a, double b);
void matSumElements(double* out, const MatrixView& m);
void matGetColumn(const MatrixView& v, const MatrixView& m, int32_t j);
void matSetColumn(const MatrixView& m, const MatrixView& v, int32_t j);
void matGetElement(double* out, const MatrixView& v, double p);
void matSetElement(const MatrixView& v, double p, double value);

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_MATRIX_OPS_H
