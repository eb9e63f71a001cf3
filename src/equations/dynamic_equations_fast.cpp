// The model's derivative function: the same equations as the literal
// evaluation (dynamic_equations.cpp), giving the same bits, written for
// speed:
// - every matrix is resolved at compile time, as fixed offsets into the
//   record's own sections, and its 2 x 2 operations are inline
//   (matrix/small_ops.h);
// - the two channels, which follow identical equations on mirrored index
//   sets, are computed side by side, channel A in the first lane of a pair
//   of doubles and channel B in the second; the 2-vectors likewise, x in
//   the first lane and y in the second. Each lane is the same IEEE
//   operation as in the literal evaluation, only two at a time;
// - cos and sin of the angle are taken once each;
// - T2, the inverse of V[31..34], is inverted again only when V[31..34]
//   changes.
//
// Two entry points share one body. The full evaluation writes everything
// the literal one writes. The stage evaluation, for the intermediate
// Runge-Kutta stages, keeps its intermediate values in registers and
// writes only the rates R[2..19] and what the next evaluation reads back:
// the level latch V[7..9], the triple V[12..14] and the inverses T2, T4
// and T6 (which a singular matrix leaves as they were). The closing
// evaluation of every step is a full one, so a host never sees what a
// stage left out.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "equations/equations.h"
#include "matrix/small_ops.h"
#include "runtime/model_data.h"

namespace tarvo::equations {

namespace {

// Two doubles in one SSE register: channel A and B, or x and y.
using Pair = double __attribute__((vector_size(16)));
using PairBits = int64_t __attribute__((vector_size(16)));

inline Pair pairOf(double first, double second) { return Pair{first, second}; }

inline Pair loadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storePair(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }

// Flips the sign bit of the second lane only, as a negation does.
inline Pair negateSecond(Pair v) {
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) ^ PairBits{0, INT64_MIN});
}

// Flips the sign bit of both lanes.
inline Pair negate(Pair v) {
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(v) ^ PairBits{INT64_MIN, INT64_MIN});
}

// Limits value to [lower, upper] lane by lane; a NaN value stays NaN.
inline Pair clampDrive(Pair value, Pair lower, Pair upper) {
    const Pair limitedAbove = upper < value ? upper : value;
    return lower > value ? lower : limitedAbove;
}

// m x v for the 2 x 2 matrix m (row-major), as matMul forms it: each
// element summed from 0.0, the term of the first column first.
inline Pair mulMatrixPair(const double* m, Pair v) {
    const Pair firstColumn = pairOf(m[0], m[2]);
    const Pair secondColumn = pairOf(m[1], m[3]);
    return (Pair{0.0, 0.0} + firstColumn * v[0]) + secondColumn * v[1];
}

// value brought to the nearest whole multiple of step, halves away from zero.
inline double quantise(double value, double halfStep, double step, double& shifted) {
    shifted = value < 0.0 ? value - halfStep : value + halfStep;
    return shifted - matrix::scalarRemInline(shifted, step);
}

// Matrices by the index of their first element in their section.
constexpr int kChannelA = 15;        // V[15..16]
constexpr int kChannelAScaled = 17;  // V[17..18]
constexpr int kRowA = 20;            // V[20..21], 1 x 2
constexpr int kChannelB = 22;        // V[22..23]
constexpr int kChannelBScaled = 24;  // V[24..25]
constexpr int kRowB = 27;            // V[27..28], 1 x 2
constexpr int kDiagonal = 31;        // V[31..34], inverted into T2
constexpr int kRotatedRates = 35;    // V[35..36] = T4 x R[5..6]
constexpr int kRotatedPair = 37;     // V[37..38] = T6 x V[59..60]
constexpr int kRotation = 39;        // V[39..42], (cos, -sin; sin, cos)
constexpr int kOffsetStates = 43;    // V[43..44] = S[5..6] + T1
constexpr int kDiagonalRates = 45;   // V[45..46] = V[47..50] x R[5..6]
constexpr int kRateDiagonal = 47;    // V[47..50]
constexpr int kPose = 54;            // V[54..57], copied into V[61..64]
constexpr int kPoseCopy = 61;
constexpr int kPairSum = 59;         // V[59..60]
constexpr int kInputs = 135;         // V[135], V[136]

// Offset of a channel B variable from its channel A counterpart: V[73..85]
// mirror into V[86..98], V[99..110] into V[113..124].
constexpr int kMirrorDrive = 13;
constexpr int kMirrorPair = 14;

// The intermediate matrices in matrixStorage.
constexpr int kT1 = 0;   // (P[13], P[14])
constexpr int kT2 = 2;   // inverse of V[31..34]
constexpr int kT3 = 6;   // transpose of V[20..21]
constexpr int kT4 = 8;   // inverse of the rotation matrix
constexpr int kT5 = 12;  // transpose of V[27..28]
constexpr int kT6 = 14;  // inverse of T7
constexpr int kT7 = 18;  // transpose of the rotation matrix

// T2 changes only when V[31..34] does, which the initial equations or a
// host write, never the dynamic equations. The inverse workspace, which no
// other inverse of this build needs, keeps the operand and the result of
// the last inversion that succeeded; the inversion runs again only for an
// operand of other bits. A zero-filled workspace holds no entry. A singular
// operand is never kept, so T2 then stays as it was, evaluation after
// evaluation, as the literal inverse leaves it.
constexpr int kMemoOperand = 0;  // 4 doubles
constexpr int kMemoResult = 4;   // 4 doubles
constexpr int kMemoValid = 8;    // 1.0 once the entry is set
static_assert(kMemoValid < kInverseWorkspaceSize, "the memo fits the inverse workspace");

inline bool sameBits(const double* a, const double* b) {
    uint64_t x[4];
    uint64_t y[4];
    std::memcpy(x, a, sizeof x);
    std::memcpy(y, b, sizeof y);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2]) | (x[3] ^ y[3])) == 0;
}

inline void invertDiagonal(double* t2, const double* operand, double* memo) {
    if (memo[kMemoValid] == 1.0 && sameBits(memo + kMemoOperand, operand)) {
        std::memcpy(t2, memo + kMemoResult, 4 * sizeof(double));
        return;
    }
    if (matrix::matInverse2x2(t2, operand)) {
        std::memcpy(memo + kMemoOperand, operand, 4 * sizeof(double));
        std::memcpy(memo + kMemoResult, t2, 4 * sizeof(double));
        memo[kMemoValid] = 1.0;
    }
}

// T4 and T6: the inverses of the rotation matrix (c, -s; s, c) and of its
// transpose T7 = (c, s; -s, c), each with the factor 1.0. Both pivot on |s|
// against |c|, so one decision serves both.
template <bool kSwapped>
inline void invertRotation(double c, double s, double* t4, double* t6) {
    matrix::Lu2x2 f{};
    if (matrix::luFactorPivoted2x2<kSwapped>(c, -s, s, c, f)) {
        matrix::luInverseScaled2x2<kSwapped>(f, 1.0, t4);
    }
    if (matrix::luFactorPivoted2x2<kSwapped>(c, s, -s, c, f)) {
        matrix::luInverseScaled2x2<kSwapped>(f, 1.0, t6);
    }
}

// The same two inverses side by side, T4 in the first lane and T6 in the
// second, for the usual case: neither matrix singular and no zero pivot in
// the substitution. Both columns of each inverse are solved at once
// (column 0 in one pair, column 1 in another), each lane with exactly the
// operations of luFactor and luSubstitute. Returns false, writing nothing,
// when a lane needs one of the rare branches; invertRotation then takes
// over.
template <bool kSwapped>
inline bool invertRotationSideBySide(double c, double s, double* t4, double* t6) {
    // The rows in pivot order: (c, -s; s, c) and (c, s; -s, c), exchanged
    // when |s| wins.
    const Pair l00 = kSwapped ? pairOf(s, -s) : pairOf(c, c);
    Pair u01 = kSwapped ? pairOf(c, c) : pairOf(-s, s);
    const Pair l10 = kSwapped ? pairOf(c, c) : pairOf(s, -s);
    Pair l11 = kSwapped ? pairOf(-s, s) : pairOf(c, c);
    const Pair det = (kSwapped ? -1.0 : 1.0) * l00 * 1.0;
    if (det[0] == 0.0 || det[1] == 0.0) {
        return false;
    }
    u01 = u01 / l00;
    l11 = l10 != 0.0 ? l11 - u01 * l10 : l11;
    const Pair det2 = 1.0 * l11 * det;
    if (det2[0] == 0.0 || det2[1] == 0.0 || l11[0] == 0.0 || l11[1] == 0.0) {
        return false;
    }
    // Column j solves for unit vector j with its rows in pivot order.
    const double e00 = kSwapped ? 0.0 : 1.0;  // first element, column 0
    const double e01 = kSwapped ? 1.0 : 0.0;  // second element, column 0
    const Pair z0Column0 = e00 / l00;
    const Pair z0Column1 = e01 / l00;
    const Pair x1Column0 = (e01 - l10 * z0Column0) / l11;
    const Pair x1Column1 = (e00 - l10 * z0Column1) / l11;
    const Pair x0Column0 = z0Column0 - u01 * x1Column0;
    const Pair x0Column1 = z0Column1 - u01 * x1Column1;
    // Times the factor 1.0; rows of T4 in the first lanes, of T6 in the second.
    storePair(t4, pairOf(x0Column0[0], x0Column1[0]) * 1.0);
    storePair(t4 + 2, pairOf(x1Column0[0], x1Column1[0]) * 1.0);
    storePair(t6, pairOf(x0Column0[1], x0Column1[1]) * 1.0);
    storePair(t6 + 2, pairOf(x1Column0[1], x1Column1[1]) * 1.0);
    return true;
}

template <bool kFull>
inline void evaluate(ModelInstance& instance) {
    double* const data = instance.modelData;
    const double* const C = data + runtime::kConstantsStart;
    const double* const P = data + runtime::kParametersStart;
    const double* const S = data + runtime::kStatesStart;
    double* const V = data + runtime::kVariablesStart;
    double* const R = data + runtime::kRatesStart;
    double* const T = instance.matrixStorage;

    // A value of this evaluation, stored only by a full one: V[i], or the
    // channel pair V[i] (A) and V[i + mirror] (B), or the 2-vector V[i..i+1].
    const auto keep = [V](int i, double value) {
        if constexpr (kFull) {
            V[i] = value;
        }
    };
    const auto keepChannels = [V](int i, int mirror, Pair value) {
        if constexpr (kFull) {
            V[i] = value[0];
            V[i + mirror] = value[1];
        }
    };
    const auto keepVector = [V](int i, Pair value) {
        if constexpr (kFull) {
            storePair(V + i, value);
        }
    };

    // Offsets, divisions and inputs.
    if constexpr (kFull) {
        T[kT1 + 0] = P[13];
        T[kT1 + 1] = P[14];
        storePair(V + kOffsetStates, loadPair(S + 5) + loadPair(T + kT1));
    }
    const double angle = S[7] + P[15];
    keep(58, angle);
    const Pair v74 = pairOf(S[11], S[14]) / pairOf(P[24], P[33]);  // V[74], V[87]
    const Pair v77 = (pairOf(P[25], P[34]) / pairOf(P[26], P[35])) * pairOf(S[12], S[15]);
    const Pair v99 = pairOf(S[16], S[18]) / pairOf(P[41], P[44]);  // V[99], V[113]
    const Pair r8 = pairOf(S[17], S[19]) / pairOf(P[42], P[45]);   // R[8], R[9]
    R[8] = r8[0];
    R[9] = r8[1];
    const Pair v85 = loadPair(V + kInputs);  // the inputs, V[85] and V[98]
    keepChannels(74, kMirrorDrive, v74);
    keepChannels(77, kMirrorDrive, v77);
    keepChannels(99, kMirrorPair, v99);
    keepChannels(85, kMirrorDrive, v85);

    // Rotation matrix of the angle, row-major (cos, -sin; sin, cos).
    const double cosine = std::cos(angle);
    const double sine = std::sin(angle);
    if constexpr (kFull) {
        V[kRotation + 0] = cosine;
        V[kRotation + 1] = -sine;
        V[kRotation + 2] = sine;
        V[kRotation + 3] = cosine;
        // Pose vector and its copy; quantised values.
        V[kPose + 0] = V[43];
        V[kPose + 1] = V[44];
        V[kPose + 2] = 0.0;
        V[kPose + 3] = angle;
        std::memcpy(V + kPoseCopy, V + kPose, 4 * sizeof(double));
        V[65] = (P[18] * S[8]) / (C[0] + C[0]);
        V[69] = (P[18] * S[9]) / (C[0] + C[0]);
        V[66] = quantise(V[65], V[68], P[19], V[67]);
        V[70] = quantise(V[69], V[72], P[20], V[71]);
    }
    const Pair v79 = v74 * pairOf(P[27], P[36]);
    const Pair v80 = v85 * pairOf(P[28], P[37]);
    const Pair v81 = v74 * pairOf(P[29], P[38]);
    // V[107] = V[99] / P[22] and V[121] = -(V[113] / P[22]); they are also
    // V[102] and V[116], the second components of the channel 2-vectors.
    const Pair v107 = negateSecond(v99 / pairOf(P[22], P[22]));
    keepChannels(79, kMirrorDrive, v79);
    keepChannels(80, kMirrorDrive, v80);
    keepChannels(81, kMirrorDrive, v81);
    keepChannels(107, kMirrorPair, v107);
    keepChannels(102, kMirrorPair, v107);

    // Channel balances and the limited drive values.
    const Pair v78 = pairOf(P[27], P[36]) * r8;
    const Pair r12 = v80 - r8;  // R[12], R[15]
    const Pair v73 = pairOf(P[23], P[32]) * r8;
    const Pair v76 = pairOf(P[25], P[34]) * r12;
    const Pair v75 = v77 + v76;
    const Pair v82 = v79 - v73;
    const Pair v84 = clampDrive(v75, pairOf(P[31], P[40]), pairOf(P[30], P[39]));
    const Pair r17 = v82 - v99;  // R[17], R[19]
    R[12] = r12[0];
    R[15] = r12[1];
    R[17] = r17[0];
    R[19] = r17[1];
    keepChannels(78, kMirrorDrive, v78);
    keepChannels(73, kMirrorDrive, v73);
    keepChannels(76, kMirrorDrive, v76);
    keepChannels(75, kMirrorDrive, v75);
    keepChannels(82, kMirrorDrive, v82);
    keepChannels(84, kMirrorDrive, v84);

    // Level: the latch follows S[0] and S[1] one evaluation late while the
    // level (as the previous evaluation left it) is positive.
    if (V[7] > 0.0) {
        V[9] = S[0];
        V[8] = S[1];
    }
    double level = P[0] - S[10] - S[13] - V[9] - V[8];
    if (level < 0.0) {
        level = 0.0;
    }
    V[7] = level;
    const double fraction = level / P[0];  // of the capacity left
    keep(10, fraction);
    // Triple selected by the fraction; exactly 0.5, 0.2 or NaN keeps the last one.
    if (fraction > 0.5) {
        V[12] = 0.0;
        V[13] = 1.0;
        V[14] = 0.0;
    }
    if (fraction < 0.5 && fraction > 0.2) {
        V[12] = 1.0;
        V[13] = 0.76;
        V[14] = 0.0;
    }
    if (fraction < 0.2) {
        V[12] = 0.72;
        V[13] = 0.0;
        V[14] = 0.16;
    }
    keep(11, fraction * 0.5 - 0.5);
    keep(1, P[0] - level);
    const double driveFactor = level > 0.0 ? P[3] : P[4];  // P[4] once the level is empty
    keep(0, driveFactor);
    const double r7 = S[2] / V[29];
    R[7] = r7;

    // Matrix part. A singular V[31..34] leaves T2 as it was.
    invertDiagonal(T + kT2, V + kDiagonal, instance.inverseWorkspace);
    const Pair r5 = mulMatrixPair(T + kT2, loadPair(S + 3));  // R[5..6]
    storePair(R + 5, r5);
    // V[17..18] and V[24..25]: the row vectors, transposed (T3, T5), times R[7].
    const Pair v17 = loadPair(V + kRowA) * r7;
    const Pair v24 = loadPair(V + kRowB) * r7;
    if (matrix::luPivotSwaps2x2(cosine, sine)) {
        if (!invertRotationSideBySide<true>(cosine, sine, T + kT4, T + kT6)) {
            invertRotation<true>(cosine, sine, T + kT4, T + kT6);
        }
    } else if (!invertRotationSideBySide<false>(cosine, sine, T + kT4, T + kT6)) {
        invertRotation<false>(cosine, sine, T + kT4, T + kT6);
    }
    const Pair v35 = mulMatrixPair(T + kT4, r5);
    const Pair v45 = mulMatrixPair(V + kRateDiagonal, r5);
    const Pair v83 = v84 * driveFactor;  // V[83], V[96]
    const Pair v15 = v17 + v35;          // V[15..16]
    const Pair r10 = v83 * v74;          // R[10], R[13]
    const Pair v22 = v24 + v35;          // V[22..23]
    const Pair r11 = (v83 - v78) - v81;  // R[11], R[14]
    R[10] = r10[0];
    R[13] = r10[1];
    R[11] = r11[0];
    R[14] = r11[1];
    keepVector(kChannelAScaled, v17);
    keepVector(kChannelBScaled, v24);
    keepVector(kRotatedRates, v35);
    keepVector(kDiagonalRates, v45);
    keepChannels(83, kMirrorDrive, v83);
    keepVector(kChannelA, v15);
    keepVector(kChannelB, v22);

    // V[106] = V[16] / P[22], V[120] = -(V[23] / P[22]); R[16] = R[8] - V[106],
    // R[18] = R[9] - V[120].
    const Pair v106 = negateSecond(pairOf(v15[1], v22[1]) / pairOf(P[22], P[22]));
    const Pair r16 = r8 - v106;
    R[16] = r16[0];
    R[18] = r16[1];
    const Pair v104 = pairOf(P[43], P[46]) * pairOf(v15[0], v22[0]);  // V[104], V[118]
    const Pair v110 = negate(v104);  // V[110], V[124]; also V[101], V[115]
    keepChannels(106, kMirrorPair, v106);
    keepChannels(104, kMirrorPair, v104);
    keepChannels(110, kMirrorPair, v110);
    keepChannels(101, kMirrorPair, v110);

    // V[19] and V[26]: the row vectors times the channel 2-vectors
    // (V[101], V[102]) and (V[115], V[116]), summed from 0.0.
    const Pair v19 = (Pair{0.0, 0.0} + pairOf(V[kRowA + 0], V[kRowB + 0]) * v110) +
                     pairOf(V[kRowA + 1], V[kRowB + 1]) * v107;
    keep(19, v19[0]);
    keep(26, v19[1]);
    R[2] = v19[1] + v19[0];
    // V[59..60] = V[101..102] + V[115..116].
    const Pair v59 = pairOf(v110[0], v107[0]) + pairOf(v110[1], v107[1]);
    const Pair v37 = mulMatrixPair(T + kT6, v59);
    storePair(R + 3, v37 - v45);
    keepVector(kPairSum, v59);
    keepVector(kRotatedPair, v37);
    if constexpr (kFull) {
        T[kT3 + 0] = V[kRowA + 0];
        T[kT3 + 1] = V[kRowA + 1];
        T[kT5 + 0] = V[kRowB + 0];
        T[kT5 + 1] = V[kRowB + 1];
        T[kT7 + 0] = cosine;
        T[kT7 + 1] = sine;
        T[kT7 + 2] = -sine;
        T[kT7 + 3] = cosine;
    }

    ++instance.evaluationCount;
}

}  // namespace

void evaluateDynamicEquations(ModelInstance& instance) { evaluate<true>(instance); }

void evaluateDynamicStage(ModelInstance& instance) { evaluate<false>(instance); }

}  // namespace tarvo::equations
