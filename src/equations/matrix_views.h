// The matrices the equations work on: views of runs of model values, the
// intermediate matrices T1 to T7 in the matrix storage, and the scratch of
// the inverses. Names follow the runs they view (V31_34 is V[31..34]).
// Layout and sizes only: the instance record holds all three, and this
// header is part of what it includes.
#ifndef TARVO_EQUATIONS_MATRIX_VIEWS_H
#define TARVO_EQUATIONS_MATRIX_VIEWS_H

#include <cstdint>

#include "matrix/matrix_view.h"

namespace tarvo::equations {

using matrix::MatrixView;

// One view per matrix, in the order they are built.
struct MatrixViews {
    MatrixView V2_6;      // 5x1 pattern selected by P[21]
    MatrixView V12_14;    // 3x1 triple selected by the remaining level fraction
    MatrixView V15_16;    // 2x1 channel A vector
    MatrixView V17_18;    // 2x1 channel A row vector scaled by R[7]
    MatrixView V20_21;    // 1x2 channel A row vector (P[5], -P[6])
    MatrixView V22_23;    // 2x1 channel B vector
    MatrixView V24_25;    // 2x1 channel B row vector scaled by R[7]
    MatrixView V27_28;    // 1x2 channel B row vector (P[5], P[6])
    MatrixView V31_34;    // 2x2 diagonal matrix whose inverse drives R[5..6]
    MatrixView V35_36;    // 2x1 T4 x R[5..6]
    MatrixView V37_38;    // 2x1 T6 x V[59..60]
    MatrixView V39_42;    // 2x2 rotation matrix of the angle V[58]
    MatrixView V43_44;    // 2x1 S[5..6] offset by (P[13], P[14])
    MatrixView P13_15;    // 3x1 offsets and angle offset
    MatrixView V45_46;    // 2x1 V[47..50] x R[5..6]
    MatrixView V47_50;    // 2x2 diagonal matrix
    MatrixView V54_57;    // 4x1 pose vector
    MatrixView V59_60;    // 2x1 sum of the two channel pairs
    MatrixView V101_102;  // 2x1 channel A pair
    MatrixView V115_116;  // 2x1 channel B pair
    MatrixView R3_4;      // 2x1 rates of S[3..4]
    MatrixView S3_4;      // 2x1 states
    MatrixView R5_6;      // 2x1 rates of S[5..6]
    MatrixView S5_6;      // 2x1 states
    MatrixView T1;        // 2x1 (P[13], P[14])
    MatrixView T2;        // 2x2 inverse of V[31..34]
    MatrixView T3;        // 2x1 transpose of V[20..21]
    MatrixView T4;        // 2x2 inverse of the rotation matrix
    MatrixView T5;        // 2x1 transpose of V[27..28]
    MatrixView T6;        // 2x2 inverse of T7
    MatrixView T7;        // 2x2 transpose of the rotation matrix
};

// T1 to T7 back to back: 2 + 4 + 2 + 4 + 2 + 4 + 4 doubles.
constexpr int32_t kMatrixStorageSize = 22;
// Scratch of the 2x2 inverses (14 of the 20 doubles are used).
constexpr int32_t kInverseWorkspaceSize = 20;

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_MATRIX_VIEWS_H
