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
// - cos and sin of the angle are taken once each, together;
// - what depends on parameters, inputs and fixed quantities alone is
//   gathered once per Runge-Kutta step (prepareStepInvariants), and T2, the
//   inverse of V[31..34], is inverted again only when V[31..34] changes;
// - the rates are stored in the pairs the integrator loads them in.
//
// Two entry points share one body. The full evaluation writes everything
// the literal one writes. The stage evaluation, for the intermediate
// Runge-Kutta stages, keeps its intermediate values in registers and
// writes only the rates R[2..19] and what the next evaluation reads back:
// the level latch V[7..9], the triple V[12..14] and the inverses T2, T4
// and T6 (which a singular matrix leaves as they were). The closing
// evaluation of every step is a full one, so a host never sees what a
// stage left out.
#include "matrix/ieee_arithmetic.h"

#include <cstdint>
#include <cstring>

#include "equations/equations.h"
#include "matrix/scalar.h"
#include "matrix/small_ops.h"

namespace tarvo::equations {

namespace {

using matrix::loadPair;
using matrix::Pair;
using matrix::pairOf;
using matrix::storePair;
using PairBits = int64_t __attribute__((vector_size(16)));

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

// value brought to the nearest whole multiple of step, halves away from
// zero, lane by lane: shifted = value -/+ halfStep, less scalarRem(shifted,
// step), whose quotient is truncated through a 32-bit integer.
inline Pair quantise(Pair value, Pair halfStep, Pair step, Pair& shifted) {
    shifted = value < 0.0 ? value - halfStep : value + halfStep;
    const Pair quotient = shifted / step;
    const Pair whole = pairOf(static_cast<double>(matrix::truncateToInt32(quotient[0])),
                              static_cast<double>(matrix::truncateToInt32(quotient[1])));
    const Pair remainder = shifted - whole * step;
    return shifted - remainder;
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

inline uint64_t bitsAt(const double* p) {
    uint64_t bits = 0;
    std::memcpy(&bits, p, sizeof bits);
    return bits;
}

// Whether the four doubles at a and b have the same bits.
inline bool sameBits(const double* a, const double* b) {
    return ((bitsAt(a) ^ bitsAt(b)) | (bitsAt(a + 1) ^ bitsAt(b + 1)) |
            (bitsAt(a + 2) ^ bitsAt(b + 2)) | (bitsAt(a + 3) ^ bitsAt(b + 3))) == 0;
}

// The inversion itself, out of line: it runs once per change of V[31..34].
__attribute__((noinline)) void invertDiagonalAndKeep(double* t2, const double* operand,
                                                     double* memo) {
    if (matrix::matInverse2x2(t2, operand)) {
        std::memcpy(memo + kMemoOperand, operand, 4 * sizeof(double));
        std::memcpy(memo + kMemoResult, t2, 4 * sizeof(double));
        memo[kMemoValid] = 1.0;
    }
}

inline void invertDiagonal(double* t2, const double* operand, double* memo) {
    if (memo[kMemoValid] == 1.0 && sameBits(memo + kMemoOperand, operand)) {
        std::memcpy(t2, memo + kMemoResult, 4 * sizeof(double));
        return;
    }
    invertDiagonalAndKeep(t2, operand, memo);
}

// T4 and T6: the inverses of the rotation matrix (c, -s; s, c) and of its
// transpose T7 = (c, s; -s, c), each with the factor 1.0. Both pivot on |s|
// against |c|, so one decision serves both, and both are factorised side
// by side, T4's matrix in the first lane and T6's in the second (a lane
// found singular is simply not used: its matrix stays as it was).
template <bool kSwapped>
inline void invertRotation(double c, double s, double* t4, double* t6, Pair (&t4Rows)[2],
                           Pair (&t6Rows)[2]) {
    // The rows in pivot order.
    const Pair l00 = kSwapped ? pairOf(s, -s) : pairOf(c, c);
    const Pair a01 = kSwapped ? pairOf(c, c) : pairOf(-s, s);
    const Pair l10 = kSwapped ? pairOf(c, c) : pairOf(s, -s);
    const Pair a11 = kSwapped ? pairOf(-s, s) : pairOf(c, c);
    const Pair det = ((kSwapped ? -1.0 : 1.0) * l00) * 1.0;
    const Pair u01 = a01 / l00;
    const Pair l11 = l10 != 0.0 ? a11 - u01 * l10 : a11;
    const Pair det2 = (1.0 * l11) * det;
    // Unswapped, both have the pivot c and so the same first forward step.
    const Pair z0ForT4 = matrix::luForwardFirst2x2<kSwapped>(l00[0]);
    const Pair z0ForT6 = kSwapped ? matrix::luForwardFirst2x2<kSwapped>(l00[1]) : z0ForT4;
    if (det[0] != 0.0 && det2[0] != 0.0) {
        matrix::luInverseRowsFrom2x2<kSwapped>({l00[0], u01[0], l10[0], l11[0]}, z0ForT4, 1.0,
                                               t4Rows[0], t4Rows[1]);
        storePair(t4, t4Rows[0]);
        storePair(t4 + 2, t4Rows[1]);
    } else {
        t4Rows[0] = loadPair(t4);
        t4Rows[1] = loadPair(t4 + 2);
    }
    if (det[1] != 0.0 && det2[1] != 0.0) {
        matrix::luInverseRowsFrom2x2<kSwapped>({l00[1], u01[1], l10[1], l11[1]}, z0ForT6, 1.0,
                                               t6Rows[0], t6Rows[1]);
        storePair(t6, t6Rows[0]);
        storePair(t6 + 2, t6Rows[1]);
    } else {
        t6Rows[0] = loadPair(t6);
        t6Rows[1] = loadPair(t6 + 2);
    }
}

template <bool kFull>
inline void evaluate(ModelInstance& instance, const StepInvariants& k) {
    double* const data = instance.modelData;
    const double* const C = data + runtime::kConstantsStart;
    const double* const P = data + runtime::kParametersStart;
    const double* const S = data + runtime::kStatesStart;
    double* const V = data + runtime::kVariablesStart;
    double* const R = data + runtime::kRatesStart;
    double* const T = instance.matrixStorage;

    // A value of this evaluation, stored only by a full one: V[i], or the
    // channel pair V[i] (A) and V[i + mirror] (B), or the 2-vector V[i..i+1].
    const auto keep = [=](int i, double value) {
        if constexpr (kFull) {
            V[i] = value;
        }
    };
    const auto keepChannels = [=](int i, int mirror, Pair value) {
        if constexpr (kFull) {
            V[i] = value[0];
            V[i + mirror] = value[1];
        }
    };
    const auto keepVector = [=](int i, Pair value) {
        if constexpr (kFull) {
            storePair(V + i, value);
        }
    };

    // Offsets, divisions and inputs.
    const double angle = S[7] + P[15];
    keep(58, angle);
    if constexpr (kFull) {
        T[kT1 + 0] = P[13];
        T[kT1 + 1] = P[14];
        const Pair offsetStates = pairOf(S[5] + P[13], S[6] + P[14]);
        storePair(V + kOffsetStates, offsetStates);
        // Pose vector (V[43], V[44], 0, angle) and its copy.
        const Pair poseEnd = pairOf(0.0, angle);
        storePair(V + kPose, offsetStates);
        storePair(V + kPose + 2, poseEnd);
        storePair(V + kPoseCopy, offsetStates);
        storePair(V + kPoseCopy + 2, poseEnd);
    }
    const Pair v74 = pairOf(S[11], S[14]) / k.divisors74;  // V[74], V[87]
    const Pair v77 = k.ratios77 * pairOf(S[12], S[15]);
    const Pair v99 = pairOf(S[16], S[18]) / k.divisors99;  // V[99], V[113]
    const Pair r8 = pairOf(S[17], S[19]) / k.divisorsR8;   // R[8], R[9]
    keepChannels(74, kMirrorDrive, v74);
    keepChannels(77, kMirrorDrive, v77);
    keepChannels(99, kMirrorPair, v99);
    keepChannels(85, kMirrorDrive, k.inputs);

    // Rotation matrix of the angle, row-major (cos, -sin; sin, cos).
    double cosine = 0.0;
    double sine = 0.0;
    matrix::scalarCosSin(angle, cosine, sine);
    if constexpr (kFull) {
        V[kRotation + 0] = cosine;
        V[kRotation + 1] = -sine;
        V[kRotation + 2] = sine;
        V[kRotation + 3] = cosine;
        // Quantised values of both channels: V[65..67] and V[69..71].
        const Pair v65 = (P[18] * pairOf(S[8], S[9])) / (C[0] + C[0]);
        Pair v67;
        const Pair v66 = quantise(v65, pairOf(V[68], V[72]), pairOf(P[19], P[20]), v67);
        keepChannels(65, 4, v65);
        keepChannels(66, 4, v66);
        keepChannels(67, 4, v67);
    }
    const Pair v79 = v74 * k.gains79;
    const Pair v81 = v74 * k.gains81;
    // V[107] = V[99] / P[22] and V[121] = -(V[113] / P[22]); they are also
    // V[102] and V[116], the second components of the channel 2-vectors.
    const Pair v107 = negateSecond(v99 / k.divisors107);
    keepChannels(79, kMirrorDrive, v79);
    keepChannels(80, kMirrorDrive, k.v80);
    keepChannels(81, kMirrorDrive, v81);
    keepChannels(107, kMirrorPair, v107);
    keepChannels(102, kMirrorPair, v107);

    // Channel balances and the limited drive values.
    const Pair v78 = k.gains79 * r8;
    const Pair r12 = k.v80 - r8;  // R[12], R[15]
    const Pair v73 = k.gains73 * r8;
    const Pair v76 = k.gains76 * r12;
    const Pair v75 = v77 + v76;
    const Pair v82 = v79 - v73;
    const Pair v84 = clampDrive(v75, k.lowerLimits, k.upperLimits);
    const Pair r17 = v82 - v99;  // R[17], R[19]
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
    // The fraction of the capacity left, and R[7] = S[2] / V[29].
    const Pair quotients = pairOf(level, S[2]) / pairOf(P[0], V[29]);
    const double fraction = quotients[0];
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
    const double r7 = quotients[1];

    // Matrix part. T2 is up to date (prepareStepInvariants).
    // R[5..6] = T2 x S[3..4], the states taken one by one: as a pair they
    // would straddle two of the integrator's stores.
    const Pair r5 = matrix::matMulColumns2x2By2(k.diagonalInverseColumns[0],
                                                k.diagonalInverseColumns[1], S[3], S[4]);
    // V[17..18] and V[24..25]: the row vectors, transposed (T3, T5), times R[7].
    const Pair v17 = loadPair(V + kRowA) * r7;
    const Pair v24 = loadPair(V + kRowB) * r7;
    Pair t4[2];
    Pair t6[2];
    if (matrix::luPivotSwaps2x2(cosine, sine)) {
        invertRotation<true>(cosine, sine, T + kT4, T + kT6, t4, t6);
    } else {
        invertRotation<false>(cosine, sine, T + kT4, T + kT6, t4, t6);
    }
    const Pair v35 = matrix::matMulRows2x2By2(t4[0], t4[1], r5);
    const Pair v45 = matrix::matMulColumns2x2By2(k.rateDiagonalColumns[0],
                                                 k.rateDiagonalColumns[1], r5[0], r5[1]);
    const Pair v83 = v84 * driveFactor;  // V[83], V[96]
    const Pair v15 = v17 + v35;          // V[15..16]
    const Pair r10 = v83 * v74;          // R[10], R[13]
    const Pair v22 = v24 + v35;          // V[22..23]
    const Pair r11 = (v83 - v78) - v81;  // R[11], R[14]
    keepVector(kChannelAScaled, v17);
    keepVector(kChannelBScaled, v24);
    keepVector(kRotatedRates, v35);
    keepVector(kDiagonalRates, v45);
    keepChannels(83, kMirrorDrive, v83);
    keepVector(kChannelA, v15);
    keepVector(kChannelB, v22);

    // V[106] = V[16] / P[22], V[120] = -(V[23] / P[22]); R[16] = R[8] - V[106],
    // R[18] = R[9] - V[120].
    const Pair v106 = negateSecond(pairOf(v15[1], v22[1]) / k.divisors107);
    const Pair r16 = r8 - v106;
    const Pair v104 = k.factors104 * pairOf(v15[0], v22[0]);  // V[104], V[118]
    const Pair v110 = negate(v104);  // V[110], V[124]; also V[101], V[115]
    keepChannels(106, kMirrorPair, v106);
    keepChannels(104, kMirrorPair, v104);
    keepChannels(110, kMirrorPair, v110);
    keepChannels(101, kMirrorPair, v110);

    // V[19] and V[26]: the row vectors times the channel 2-vectors
    // (V[101], V[102]) and (V[115], V[116]), summed from 0.0.
    const Pair v19 = (Pair{0.0, 0.0} + k.rowFirsts * v110) + k.rowSeconds * v107;
    keep(19, v19[0]);
    keep(26, v19[1]);
    const double r2 = v19[1] + v19[0];
    // V[59..60] = V[101..102] + V[115..116].
    const Pair v59 = pairOf(v110[0], v107[0]) + pairOf(v110[1], v107[1]);
    const Pair v37 = matrix::matMulRows2x2By2(t6[0], t6[1], v59);
    const Pair r3 = v37 - v45;  // R[3..4]
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

    // The rates, two by two in the pairs the integrator reads them in, so
    // that each of its loads finds one store to take the values from.
    storePair(R + 2, pairOf(r2, r3[0]));
    storePair(R + 4, pairOf(r3[1], r5[0]));
    storePair(R + 6, pairOf(r5[1], r7));
    storePair(R + 8, r8);
    storePair(R + 10, pairOf(r10[0], r11[0]));
    storePair(R + 12, pairOf(r12[0], r10[1]));
    storePair(R + 14, pairOf(r11[1], r12[1]));
    storePair(R + 16, pairOf(r16[0], r17[0]));
    storePair(R + 18, pairOf(r16[1], r17[1]));

    ++instance.evaluationCount;
}

}  // namespace

void prepareStepInvariants(ModelInstance& instance, StepInvariants& k) {
    const double* const P = instance.modelData + runtime::kParametersStart;
    const double* const V = instance.modelData + runtime::kVariablesStart;
    k.divisors74 = pairOf(P[24], P[33]);
    k.ratios77 = pairOf(P[25], P[34]) / pairOf(P[26], P[35]);
    k.divisors99 = pairOf(P[41], P[44]);
    k.divisorsR8 = pairOf(P[42], P[45]);
    k.inputs = loadPair(V + kInputs);
    k.gains79 = pairOf(P[27], P[36]);
    k.v80 = k.inputs * pairOf(P[28], P[37]);
    k.gains81 = pairOf(P[29], P[38]);
    k.divisors107 = pairOf(P[22], P[22]);
    k.gains73 = pairOf(P[23], P[32]);
    k.gains76 = pairOf(P[25], P[34]);
    k.lowerLimits = pairOf(P[31], P[40]);
    k.upperLimits = pairOf(P[30], P[39]);
    k.factors104 = pairOf(P[43], P[46]);
    k.rowFirsts = pairOf(V[kRowA + 0], V[kRowB + 0]);
    k.rowSeconds = pairOf(V[kRowA + 1], V[kRowB + 1]);
    // A singular V[31..34] leaves T2 as it was.
    double* const t2 = instance.matrixStorage + kT2;
    invertDiagonal(t2, V + kDiagonal, instance.inverseWorkspace);
    k.diagonalInverseColumns[0] = pairOf(t2[0], t2[2]);
    k.diagonalInverseColumns[1] = pairOf(t2[1], t2[3]);
    k.rateDiagonalColumns[0] = pairOf(V[kRateDiagonal + 0], V[kRateDiagonal + 2]);
    k.rateDiagonalColumns[1] = pairOf(V[kRateDiagonal + 1], V[kRateDiagonal + 3]);
}

void evaluateDynamicEquations(ModelInstance& instance, const StepInvariants& invariants) {
    evaluate<true>(instance, invariants);
}

void evaluateDynamicStage(ModelInstance& instance, const StepInvariants& invariants) {
    evaluate<false>(instance, invariants);
}

void evaluateDynamicEquations(ModelInstance& instance) {
    StepInvariants invariants;
    prepareStepInvariants(instance, invariants);
    evaluate<true>(instance, invariants);
}

}  // namespace tarvo::equations
