// The matrices of the literal equations as views of one instance's model
// data and matrix storage. Names follow the runs they view (V31_34 is
// V[31..34]); every view is made from its place in model_layout.h.
#ifndef TARVO_EQUATIONS_MATRIX_VIEWS_H
#define TARVO_EQUATIONS_MATRIX_VIEWS_H

#include "equations/model_layout.h"
#include "matrix/matrix_view.h"

namespace tarvo::equations {

using matrix::MatrixView;

struct MatrixViews {
    MatrixView V2_6;
    MatrixView V12_14;
    MatrixView V15_16;
    MatrixView V17_18;
    MatrixView V20_21;
    MatrixView V22_23;
    MatrixView V24_25;
    MatrixView V27_28;
    MatrixView V31_34;
    MatrixView V35_36;
    MatrixView V37_38;
    MatrixView V39_42;
    MatrixView V43_44;
    MatrixView P13_15;
    MatrixView V45_46;
    MatrixView V47_50;
    MatrixView V54_57;
    MatrixView V59_60;
    MatrixView V101_102;
    MatrixView V115_116;
    MatrixView R3_4;
    MatrixView S3_4;
    MatrixView R5_6;
    MatrixView S5_6;
    MatrixView T1;
    MatrixView T2;
    MatrixView T3;
    MatrixView T4;
    MatrixView T5;
    MatrixView T6;
    MatrixView T7;
};

// The view of a matrix of the model data.
inline MatrixView viewOf(ModelValues& values, const MatrixPlace& p) {
    return MatrixView{values + startOf(p.area) + p.first, p.rows, p.columns};
}

// The view of an intermediate matrix.
inline MatrixView viewOf(EquationScratch& scratch, const MatrixPlace& p) {
    return MatrixView{scratch.matrixStorage + p.first, p.rows, p.columns};
}

inline MatrixViews matrixViewsOf(ModelValues& values, EquationScratch& scratch) {
    using namespace place;
    return {viewOf(values, kPattern),
            viewOf(values, kTriple),
            viewOf(values, kChannelA),
            viewOf(values, kChannelAScaled),
            viewOf(values, kRowA),
            viewOf(values, kChannelB),
            viewOf(values, kChannelBScaled),
            viewOf(values, kRowB),
            viewOf(values, kDiagonal),
            viewOf(values, kRotatedRates),
            viewOf(values, kRotatedPair),
            viewOf(values, kRotation),
            viewOf(values, kOffsetStates),
            viewOf(values, kOffsets),
            viewOf(values, kDiagonalRates),
            viewOf(values, kRateDiagonal),
            viewOf(values, kPose),
            viewOf(values, kPairSum),
            viewOf(values, kChannelAPair),
            viewOf(values, kChannelBPair),
            viewOf(values, kRates3To4),
            viewOf(values, kStates3To4),
            viewOf(values, kRates5To6),
            viewOf(values, kStates5To6),
            viewOf(scratch, kT1),
            viewOf(scratch, kT2),
            viewOf(scratch, kT3),
            viewOf(scratch, kT4),
            viewOf(scratch, kT5),
            viewOf(scratch, kT6),
            viewOf(scratch, kT7)};
}

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_MATRIX_VIEWS_H
