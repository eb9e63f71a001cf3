// LU factorisation with partial pivoting and what is built on it: the
// determinant, inverses, linear solve, matrix division and integer power.
// Callers pass a workspace of their own storage; a singular matrix is
// reported only through a returned determinant of 0.0 and leaves the
// destination untouched.
#ifndef TARVO_MATRIX_LU_H
#define TARVO_MATRIX_LU_H

#include "matrix/matrix_view.h"

namespace tarvo::matrix {

// Doubles an inverse of order n needs in its workspace.
constexpr int32_t inverseWorkspaceSize(int32_t n) {
    return 2 * n * n + 3 * n;
}

double luFactor(const MatrixView& a, const MatrixView& p);
int32_t luPivot(const MatrixView& a, const MatrixView& p, int32_t k);
void matSwapRows(const MatrixView& m, int32_t r1, int32_t r2);
void luInitPermutation(const MatrixView& p);
void luPermute(const MatrixView& v, const MatrixView& p, double* scratch);
void luSubstitute(const MatrixView& f, const MatrixView& b);

double matInverseDet(const MatrixView& d, const MatrixView& a, double* workspace);
void matInverse(const MatrixView& d, const MatrixView& a, double* workspace);
void matInverseScaled(const MatrixView& d, double x, const MatrixView& a, double* workspace);

double matSolveInPlace(const MatrixView& a, const MatrixView& b, double* workspace);
double matSolve(const MatrixView& a, const MatrixView& f, const MatrixView& x,
                const MatrixView& b, double* workspace);
void matRightDivide(const MatrixView& d, const MatrixView& x, const MatrixView& a,
                    double* workspace);
void matLeftDivide(const MatrixView& d, const MatrixView& a, const MatrixView& b,
                   double* workspace);
void matPower(const MatrixView& d, const MatrixView& a, double x, double* workspace);

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_LU_H
