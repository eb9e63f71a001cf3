// The model's derivative function: from states, parameters, the two inputs
// and the fixed quantities, the rates R[2..19] and most variables. Straight
// line code in a fixed order; several values carry over from the previous
// evaluation (the level latch V[7..9] and the selected triple V[12..14]).

#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"
#include "equations/matrix_views.h"
#include "matrix/lu.h"
#include "matrix/matrix_ops.h"
#include "matrix/scalar.h"

namespace tarvo::equations {

using namespace matrix;

namespace {

// Limits value to [lower, upper]; a NaN value stays NaN.
double clampDrive(double value, double lower, double upper) {
    if (lower > value) {
        return lower;
    }
    return upper < value ? upper : value;
}

// value brought to the nearest whole multiple of step, halves away from zero.
double quantise(double value, double halfStep, double step, double& shifted) {
    shifted = value < 0.0 ? value - halfStep : value + halfStep;
    return shifted - scalarRem(shifted, step);
}

}  // namespace

void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch) {
    const double* C = values + kConstantsStart;
    const double* P = values + kParametersStart;
    const double* S = values + kStatesStart;
    double* V = values + kVariablesStart;
    double* R = values + kRatesStart;
    double* workspace = scratch.inverseWorkspace;
    const MatrixViews m = matrixViewsOf(values, scratch);

    // Offsets, divisions and inputs.
    m.T1.data[0] = m.P13_15.data[0];
    m.T1.data[1] = m.P13_15.data[1];
    matAdd(m.V43_44, m.S5_6, m.T1);
    V[58] = S[7] + P[15];  // rotation angle
    V[74] = S[11] / P[24];
    V[77] = (P[25] / P[26]) * S[12];
    V[87] = S[14] / P[33];
    V[90] = (P[34] / P[35]) * S[15];
    V[99] = S[16] / P[41];
    R[8] = S[17] / P[42];
    V[113] = S[18] / P[44];
    R[9] = S[19] / P[45];
    V[85] = V[135];  // channel A input
    V[98] = V[136];  // channel B input

    // Rotation matrix of the angle, row-major (cos, -sin; sin, cos), and the pose.
    V[39] = matrix::scalarCos(V[58]);
    V[40] = -matrix::scalarSin(V[58]);
    V[41] = matrix::scalarSin(V[58]);
    V[42] = matrix::scalarCos(V[58]);
    V[54] = V[43];
    V[55] = V[44];
    V[56] = 0.0;
    V[57] = V[58];
    V[65] = (P[18] * S[8]) / (C[0] + C[0]);
    V[69] = (P[18] * S[9]) / (C[0] + C[0]);
    V[79] = V[74] * P[27];
    V[80] = V[85] * P[28];
    V[81] = V[74] * P[29];
    V[92] = V[87] * P[36];
    V[93] = V[98] * P[37];
    V[94] = V[87] * P[38];
    V[107] = V[99] / P[22];
    V[121] = -(V[113] / P[22]);
    V[61] = V[54];
    V[62] = V[55];
    V[63] = V[56];
    V[64] = V[57];

    // Quantisation of both channels to whole multiples of P[19] and P[20].
    V[66] = quantise(V[65], V[68], P[19], V[67]);
    V[70] = quantise(V[69], V[72], P[20], V[71]);

    // Channel balances and the limited drive values.
    V[102] = V[107];
    V[116] = V[121];
    V[78] = P[27] * R[8];
    R[12] = V[80] - R[8];
    V[91] = P[36] * R[9];
    R[15] = V[93] - R[9];
    V[73] = P[23] * R[8];
    V[76] = P[25] * R[12];
    V[75] = V[77] + V[76];
    V[86] = P[32] * R[9];
    V[89] = P[34] * R[15];
    V[88] = V[90] + V[89];
    V[82] = V[79] - V[73];
    V[84] = clampDrive(V[75], P[31], P[30]);  // channel A drive
    V[95] = V[92] - V[86];
    V[97] = clampDrive(V[88], P[40], P[39]);  // channel B drive
    R[17] = V[82] - V[99];
    R[19] = V[95] - V[113];

    // Level: the latch follows S[0] and S[1] one evaluation late while the
    // level (as the previous evaluation left it) is positive.
    if (V[7] > 0.0) {
        V[9] = S[0];
        V[8] = S[1];
    }
    V[7] = P[0] - S[10] - S[13] - V[9] - V[8];
    if (V[7] < 0.0) {
        V[7] = 0.0;
    }
    V[10] = V[7] / P[0];  // fraction of the capacity left
    V[11] = V[10] * 0.5 - 0.5;
    // Triple selected by the fraction; exactly 0.5, 0.2 or NaN keeps the last one.
    double* triple = m.V12_14.data;
    if (V[10] > 0.5) {
        triple[0] = 0.0;
        triple[1] = 1.0;
        triple[2] = 0.0;
    }
    if (V[10] < 0.5 && V[10] > 0.2) {
        triple[0] = 1.0;
        triple[1] = 0.76;
        triple[2] = 0.0;
    }
    if (V[10] < 0.2) {
        triple[0] = 0.72;
        triple[1] = 0.0;
        triple[2] = 0.16;
    }
    V[1] = P[0] - V[7];
    V[0] = V[7] > 0.0 ? P[3] : P[4];  // drive factor: P[4] once the level is empty
    R[7] = S[2] / V[29];

    // Matrix part.
    matInverse(m.T2, m.V31_34, workspace);
    matMul(m.R5_6, m.T2, m.S3_4);
    matTranspose(m.T3, m.V20_21);
    matScale(m.V17_18, m.T3, R[7]);
    matInverseScaled(m.T4, 1.0, m.V39_42, workspace);
    matMul(m.V35_36, m.T4, m.R5_6);
    matMul(m.V45_46, m.V47_50, m.R5_6);
    matTranspose(m.T5, m.V27_28);
    matScale(m.V24_25, m.T5, R[7]);
    V[83] = V[84] * V[0];
    V[96] = V[97] * V[0];
    matAdd(m.V15_16, m.V17_18, m.V35_36);
    R[10] = V[83] * V[74];
    R[13] = V[96] * V[87];
    matAdd(m.V22_23, m.V24_25, m.V35_36);
    R[11] = V[83] - V[78] - V[81];
    R[14] = V[96] - V[91] - V[94];
    V[106] = V[16] / P[22];
    V[104] = P[43] * V[15];
    R[16] = R[8] - V[106];
    V[120] = -(V[23] / P[22]);
    V[110] = -V[104];
    V[118] = P[46] * V[22];
    R[18] = R[9] - V[120];
    V[101] = V[110];
    V[124] = -V[118];
    V[115] = V[124];
    matDot(&V[19], m.V20_21, m.V101_102);
    matDot(&V[26], m.V27_28, m.V115_116);
    R[2] = V[26] + V[19];
    matAdd(m.V59_60, m.V101_102, m.V115_116);
    matTranspose(m.T7, m.V39_42);
    matInverseScaled(m.T6, 1.0, m.T7, workspace);
    matMul(m.V37_38, m.T6, m.V59_60);
    matSub(m.R3_4, m.V37_38, m.V45_46);
}

}  // namespace tarvo::equations
