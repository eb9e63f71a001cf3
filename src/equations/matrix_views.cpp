#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"
#include "matrix/lu.h"

namespace tarvo::equations {

static_assert(matrix::inverseWorkspaceSize(2) <= kInverseWorkspaceSize,
              "a 2x2 inverse fits the workspace");

namespace {

constexpr MatrixView view(double* first, int32_t rows, int32_t columns) {
    return MatrixView{first, rows, columns};
}

}  // namespace

void setupMatrixViews(ModelInstance& instance) {
    double* P = instance.parameters;
    double* V = instance.variables;
    double* S = instance.states;
    double* R = instance.rates;
    double* T = instance.matrixStorage;
    MatrixViews& m = instance.matrixViews;

    m.V2_6 = view(V + 2, 5, 1);
    m.V12_14 = view(V + 12, 3, 1);
    m.V15_16 = view(V + 15, 2, 1);
    m.V17_18 = view(V + 17, 2, 1);
    m.V20_21 = view(V + 20, 1, 2);
    m.V22_23 = view(V + 22, 2, 1);
    m.V24_25 = view(V + 24, 2, 1);
    m.V27_28 = view(V + 27, 1, 2);
    m.V31_34 = view(V + 31, 2, 2);
    m.V35_36 = view(V + 35, 2, 1);
    m.V37_38 = view(V + 37, 2, 1);
    m.V39_42 = view(V + 39, 2, 2);
    m.V43_44 = view(V + 43, 2, 1);
    m.P13_15 = view(P + 13, 3, 1);
    m.V45_46 = view(V + 45, 2, 1);
    m.V47_50 = view(V + 47, 2, 2);
    m.V54_57 = view(V + 54, 4, 1);
    m.V59_60 = view(V + 59, 2, 1);
    m.V101_102 = view(V + 101, 2, 1);
    m.V115_116 = view(V + 115, 2, 1);
    m.R3_4 = view(R + 3, 2, 1);
    m.S3_4 = view(S + 3, 2, 1);
    m.R5_6 = view(R + 5, 2, 1);
    m.S5_6 = view(S + 5, 2, 1);
    // Intermediate matrices, back to back in the matrix storage.
    m.T1 = view(T + 0, 2, 1);
    m.T2 = view(T + 2, 2, 2);
    m.T3 = view(T + 6, 2, 1);
    m.T4 = view(T + 8, 2, 2);
    m.T5 = view(T + 12, 2, 1);
    m.T6 = view(T + 14, 2, 2);
    m.T7 = view(T + 18, 2, 2);
}

}  // namespace tarvo::equations
