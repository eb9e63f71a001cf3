// The fast form of the model's derivative function, on values held in
// registers: the same equations as the literal evaluation
// (dynamic_equations.cpp), giving the same bits, written for speed:
// - every matrix is resolved at compile time, as fixed offsets into the
//   record's own sections, and its 2 x 2 operations are inline
//   (matrix/small_ops.h);
// - the two channels, which follow identical equations on mirrored index
//   sets, are computed side by side, channel A in the first lane of a pair
//   of doubles and channel B in the second; the 2-vectors likewise, x in
//   the first lane and y in the second. Each lane is the same IEEE
//   operation as in the literal evaluation, only two at a time;
// - the states come in, and the rates go out, in the pairs the equations
//   compute with (StatePairs), so an integrator that keeps them in that
//   form needs no shuffling between its stages;
// - cos and sin of the angle are taken once each, together;
// - what depends on parameters, inputs and fixed quantities alone comes
//   gathered in the step invariants (prepareStepInvariants).
//
// The values one evaluation reads back from the one before (the level
// latch V[7..9] and the triple V[12..14]) travel in CarriedValues. A full
// evaluation also writes every variable the literal one writes; a stage
// evaluation writes nothing at all.
#ifndef TARVO_EQUATIONS_DYNAMIC_EQUATIONS_FAST_H
#define TARVO_EQUATIONS_DYNAMIC_EQUATIONS_FAST_H

#include <cmath>
#include <cstdint>
#include <limits>

#include "equations/equations.h"
#include "equations/step_invariants.h"
#include "ieee/double_bits.h"
#include "matrix/scalar.h"
#include "matrix/small_ops.h"

// Inlined wherever it is used: the integrator keeps its values in registers
// across the evaluations it makes.
#if defined(__GNUC__)
#define TARVO_ALWAYS_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define TARVO_ALWAYS_INLINE __forceinline
#else
#define TARVO_ALWAYS_INLINE inline
#endif

namespace tarvo::equations {

inline StatePairs loadStatePairs(const double* s) {
    StatePairs pairs;
    for (int i = 0; i < kStatePairCount; ++i) {
        pairs.of[i] = matrix::pairOf(s[kStatePairLanes[i][0]], s[kStatePairLanes[i][1]]);
    }
    return pairs;
}

inline void storeStatePairs(double* s, const StatePairs& pairs) {
    for (int i = 0; i < kStatePairCount; ++i) {
        s[kStatePairLanes[i][0]] = pairs.of[i][0];
        s[kStatePairLanes[i][1]] = pairs.of[i][1];
    }
}

// The triple V[12..14] that a fraction of the capacity left selects, or
// the one before when the fraction selects none (exactly 0.5 or 0.2, NaN).
inline void selectTriple(double fraction, double (&triple)[3]) {
    if (fraction > 0.5) {
        triple[0] = 0.0;
        triple[1] = 1.0;
        triple[2] = 0.0;
    }
    if (fraction < 0.5 && fraction > 0.2) {
        triple[0] = 1.0;
        triple[1] = 0.76;
        triple[2] = 0.0;
    }
    if (fraction < 0.2) {
        triple[0] = 0.72;
        triple[1] = 0.0;
        triple[2] = 0.16;
    }
}

// What an evaluation reads back from the one before it: the level V[7],
// the latch V[9], V[8] (S[0] and S[1] as last latched) and the triple
// V[12..14]. The triple is kept as the fraction that selects it last and
// the triple before that, so that an evaluation need not write it: it is
// selectTriple(fraction, tripleBefore), and only a fraction that selects
// none makes that the new triple before.
struct CarriedValues {
    double level;
    matrix::Pair latched;
    double fraction;
    double tripleBefore[3];
};

inline CarriedValues loadCarriedValues(const double* v) {
    // A NaN fraction selects no triple: V[12..14] stay as they are.
    return {v[7],
            matrix::pairOf(v[9], v[8]),
            std::numeric_limits<double>::quiet_NaN(),
            {v[12], v[13], v[14]}};
}

inline void storeCarriedValues(double* v, const CarriedValues& carried) {
    double triple[3] = {carried.tripleBefore[0], carried.tripleBefore[1],
                        carried.tripleBefore[2]};
    selectTriple(carried.fraction, triple);
    v[7] = carried.level;
    v[8] = carried.latched[1];
    v[9] = carried.latched[0];
    v[12] = triple[0];
    v[13] = triple[1];
    v[14] = triple[2];
}

// Carries a new fraction forward (see CarriedValues).
inline void carryFraction(CarriedValues& carried, double fraction) {
    // Exactly 0.5 or 0.2, or NaN: neither below nor above one of them.
    if (!std::islessgreater(fraction, 0.5) || !std::islessgreater(fraction, 0.2)) {
        selectTriple(carried.fraction, carried.tripleBefore);
    }
    carried.fraction = fraction;
}

// cos and sin of an evaluation's angle, where its call left them, for the
// next evaluation: at the same angle, bit for bit, that one takes them and
// leaves out the call, since cos and sin of one double are always the same.
struct CosSinMemo {
    double angle;
    double cosine;
    double sine;
};

// What an evaluation does with a stage's CosSinMemo (Stage::kCosSin).
enum class CosSinUse {
    kNone,   // calls cos and sin, keeps nothing
    kKeep,   // calls them and keeps them with its angle
    kReuse,  // takes the kept ones at the kept angle, else as kKeep
};

namespace fast {

using matrix::loadPair;
using matrix::Pair;
using matrix::pairOf;
using matrix::select;
using matrix::storePair;

// The matrices, by the index of their first element in their section.
constexpr int kChannelA = place::kChannelA.first;
constexpr int kChannelAScaled = place::kChannelAScaled.first;
constexpr int kRowA = place::kRowA.first;
constexpr int kChannelB = place::kChannelB.first;
constexpr int kChannelBScaled = place::kChannelBScaled.first;
constexpr int kRowB = place::kRowB.first;
constexpr int kDiagonal = place::kDiagonal.first;
constexpr int kRotatedRates = place::kRotatedRates.first;
constexpr int kRotatedPair = place::kRotatedPair.first;
constexpr int kRotation = place::kRotation.first;
constexpr int kOffsetStates = place::kOffsetStates.first;
constexpr int kDiagonalRates = place::kDiagonalRates.first;
constexpr int kRateDiagonal = place::kRateDiagonal.first;
constexpr int kPose = place::kPose.first;
constexpr int kPoseCopy = place::kPoseCopy.first;
constexpr int kPairSum = place::kPairSum.first;
constexpr int kInputs = place::kInputs.first;
constexpr int kT1 = place::kT1.first;
constexpr int kT2 = place::kT2.first;
constexpr int kT3 = place::kT3.first;
constexpr int kT4 = place::kT4.first;
constexpr int kT5 = place::kT5.first;
constexpr int kT6 = place::kT6.first;
constexpr int kT7 = place::kT7.first;

// Offset of a channel B variable from its channel A counterpart: V[73..85]
// mirror into V[86..98], V[99..110] into V[113..124].
constexpr int kMirrorDrive = 13;
constexpr int kMirrorPair = 14;

// Flips the sign bit of the second lane only, as a negation does.
inline Pair negateSecond(Pair v) {
    return matrix::negateLanes<false, true>(v);
}

// Flips the sign bit of the first lane only.
inline Pair negateFirst(Pair v) {
    return matrix::negateLanes<true, false>(v);
}

// Flips the sign bit of both lanes.
inline Pair negate(Pair v) {
    return matrix::negateLanes<true, true>(v);
}

// Limits value to [lower, upper] lane by lane; a NaN value stays NaN.
// With kOrdered the caller knows lower <= upper in both lanes: then a value
// below lower is below upper as well, and testing lower against the value
// limited above tests it against the value itself.
template <bool kOrdered>
inline Pair clampDrive(Pair value, Pair lower, Pair upper) {
    const Pair limitedAbove = select(upper < value, upper, value);
    if constexpr (kOrdered) {
        return select(lower > limitedAbove, lower, limitedAbove);
    } else {
        return select(lower > value, lower, limitedAbove);
    }
}

// value brought to the nearest whole multiple of step, halves away from
// zero, lane by lane: shifted = value -/+ halfStep, less scalarRem(shifted,
// step), whose quotient is truncated through a 32-bit integer.
inline Pair quantise(Pair value, Pair halfStep, Pair step, Pair& shifted) {
    shifted = select(value < 0.0, value - halfStep, value + halfStep);
    const Pair quotient = shifted / step;
    const Pair whole = pairOf(static_cast<double>(matrix::truncateToInt32(quotient[0])),
                              static_cast<double>(matrix::truncateToInt32(quotient[1])));
    const Pair remainder = shifted - whole * step;
    return shifted - remainder;
}

// The general factorisation of the rotation matrix (c, -s; s, c), for T4,
// and of its transpose T7 = (c, s; -s, c), for T6, side by side (T4's in
// the first lane, T6's in the second), as luFactor and the forward and
// backward passes form them; each with the factor 1.0. Both pivot on |s|
// against |c|, so one decision serves both. A lane found singular keeps
// the inverse stored last, as the literal inverse does.
template <bool kSwapped, bool kFull>
inline void invertRotationGeneral(double c, double s, double* t4, double* t6, Pair (&t4Rows)[2],
                                  Pair (&t6Rows)[2]) {
    // The rows in pivot order.
    const Pair l00 = kSwapped ? pairOf(s, -s) : pairOf(c, c);
    const Pair a01 = kSwapped ? pairOf(c, c) : pairOf(-s, s);
    const Pair l10 = kSwapped ? pairOf(c, c) : pairOf(s, -s);
    const Pair a11 = kSwapped ? pairOf(-s, s) : pairOf(c, c);
    const Pair det = ((kSwapped ? -1.0 : 1.0) * l00) * 1.0;
    const Pair u01 = a01 / l00;
    const Pair l11 = select(l10 != 0.0, a11 - u01 * l10, a11);
    const Pair det2 = (1.0 * l11) * det;
    // Unswapped, both have the pivot c and so the same first forward step.
    const Pair z0ForT4 = matrix::luForwardFirst2x2<kSwapped>(l00[0]);
    const Pair z0ForT6 = kSwapped ? matrix::luForwardFirst2x2<kSwapped>(l00[1]) : z0ForT4;
    // One lane's inverse into rows (stored by a full evaluation), or the
    // inverse stored last when that lane is singular.
    const auto laneInverse = [&](int lane, Pair z0, double* stored, Pair(&rows)[2]) {
        if (det[lane] != 0.0 && det2[lane] != 0.0) {
            matrix::luInverseRowsFrom2x2<kSwapped>({l00[lane], u01[lane], l10[lane], l11[lane]},
                                                   z0, 1.0, rows[0], rows[1]);
            if constexpr (kFull) {
                storePair(stored, rows[0]);
                storePair(stored + 2, rows[1]);
            }
        } else {
            rows[0] = loadPair(stored);
            rows[1] = loadPair(stored + 2);
        }
    };
    laneInverse(0, z0ForT4, t4, t4Rows);
    laneInverse(1, z0ForT6, t6, t6Rows);
}

// T4 alone, for c and s whose magnitudes lie in [2^-500, 1]: then
// neither pivot can be zero (the second is the first plus a product of the
// same sign), so every test of the general factorisation passes and only
// its arithmetic is left.
template <bool kSwapped>
inline void invertRotationT4(double c, double s, Pair (&t4Rows)[2]) {
    const double l00 = kSwapped ? s : c;
    const double l10 = kSwapped ? c : s;
    const double u01 = (kSwapped ? c : -s) / l00;
    const double l11 = (kSwapped ? -s : c) - u01 * l10;
    constexpr Pair e1 = kSwapped ? Pair{1.0, 0.0} : Pair{0.0, 1.0};
    const Pair z0 = matrix::luForwardFirst2x2<kSwapped>(l00);
    t4Rows[1] = (e1 - l10 * z0) / l11;
    t4Rows[0] = z0 - u01 * t4Rows[1];
}

// T4 and T6: the inverses of the rotation matrix and of its transpose T7,
// each with the factor 1.0, as the general LU inverse forms them, for
// c = cos and s = sin of the angle.
//
// For c and s of magnitudes in [2^-500, 1], T6 is T4 with the signs of
// its off-diagonal elements flipped, bit for bit: step by step the two
// factorisations meet the same magnitudes (u01 and the second forward
// elements of opposite sign, the pivots equal or of opposite sign), no
// product can underflow to a zero whose sign would differ, and IEEE
// rounding is symmetric in sign. cos and sin of any angle the model meets
// lie in that range, except where the angle is 0 or (near) a multiple of pi
// or NaN; those take the general path.
//
// The magnitudes are compared on the integer side, which the step leaves
// idle (its floating-point units are what it waits for): a double's bits
// without the sign bit order magnitudes as the values are ordered, with
// NaN above infinity.
//
// Nor is the rotation matrix ever singular: cos and sin of a double are
// both NaN or have c^2 + s^2 within rounding of 1, so the first pivot (the
// larger of |c| and |s|) is at least 0.7, and the second no smaller. The
// general path's fallback to the inverse stored last never runs, so a
// stage evaluation stores no inverse.
template <bool kFull>
inline void invertRotation(double c, double s, double* t4, double* t6, Pair (&t4Rows)[2],
                           Pair (&t6Rows)[2]) {
    const uint64_t cMagnitude = ieee::bitsOf(c) << 1;
    const uint64_t sMagnitude = ieee::bitsOf(s) << 1;
    const uint64_t smallest = ieee::bitsOf(0x1p-500) << 1;
    const uint64_t rangeWidth = (ieee::bitsOf(1.0) << 1) - smallest;
    // Both in [2^-500, 1] (unsigned: below 2^-500 wraps round to above).
    if (cMagnitude - smallest <= rangeWidth && sMagnitude - smallest <= rangeWidth) {
        // luPivotSwaps2x2(c, s) for a non-zero c.
        if (sMagnitude > cMagnitude) {
            invertRotationT4<true>(c, s, t4Rows);
        } else {
            invertRotationT4<false>(c, s, t4Rows);
        }
        t6Rows[0] = negateSecond(t4Rows[0]);
        t6Rows[1] = negateFirst(t4Rows[1]);
        if constexpr (kFull) {
            storePair(t4, t4Rows[0]);
            storePair(t4 + 2, t4Rows[1]);
            storePair(t6, t6Rows[0]);
            storePair(t6 + 2, t6Rows[1]);
        }
    } else if (matrix::luPivotSwaps2x2(c, s)) {
        invertRotationGeneral<true, kFull>(c, s, t4, t6, t4Rows, t6Rows);
    } else {
        invertRotationGeneral<false, kFull>(c, s, t4, t6, t4Rows, t6Rows);
    }
}

}  // namespace fast

// One evaluation of the derivative function, on the states a stage gives:
// - Pair state(StatePair): the states of one pair, asked for at most once
//   per pair, and only for the pairs the rates need unless kFull;
// - void rate(StatePair, Pair): the rates of one pair, given as soon as
//   they are known, for every pair but (R[0], R[1]) (constants of the
//   parameter equations), and only after the pair's states were asked for;
// - double angleState(), void angleRate(double): S[7], the angle's state,
//   asked for first and alone, and R[7] given as soon as it is known, before
//   it comes again with R[2] in its pair. The next stage's angle needs R[7]
//   only, and R[2] comes last: so the two chains through the stages'
//   angles (each through every second one) do not wait for each other;
// - kLimitsOrdered: such a stage is used only with invariants whose
//   limitsOrdered is set;
// - kCosSin and, unless it is kNone, CosSinMemo& cosSinMemo(): what the
//   evaluation does with the cos and sin of its angle, and where it keeps
//   them. A stage of kReuse comes only after one that keeps them; a full
//   evaluation neither keeps nor takes them.
// The carried values are brought forward; with kFull every variable and
// intermediate matrix is written into the model data and the matrix storage as the literal
// evaluation writes them. The invariants must be those of the current
// parameters and inputs.
//
// The one call out of the evaluation, cos and sin of the angle, comes
// first, so that little is live across it.
template <bool kFull, class Stage>
TARVO_ALWAYS_INLINE void evaluateDynamicPairs(ModelValues& values, EquationScratch& scratch,
                                              const StepInvariants& k, Stage& stage,
                                              CarriedValues& carried) {
    using namespace fast;
    const double* const C = values + kConstantsStart;
    const double* const P = values + kParametersStart;
    double* const V = values + kVariablesStart;
    double* const T = scratch.matrixStorage;

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

    // Rotation matrix of the angle, row-major (cos, -sin; sin, cos).
    const double angle = stage.angleState() + k.angleOffset;
    static_assert(!kFull || Stage::kCosSin == CosSinUse::kNone,
                  "a full evaluation takes cos and sin afresh");
    // Read back one by one: the call stores each on its own, and a load of
    // both at once could not take them from those stores.
    double cosine = 0.0;
    double sine = 0.0;
    if constexpr (Stage::kCosSin == CosSinUse::kNone) {
        matrix::scalarCosSin(angle, cosine, sine);
    } else {
        CosSinMemo& memo = stage.cosSinMemo();
        if (Stage::kCosSin == CosSinUse::kKeep ||
            ieee::bitsOf(angle) != ieee::bitsOf(memo.angle)) {
            memo.angle = angle;
            matrix::scalarCosSin(angle, memo.cosine, memo.sine);
        }
        cosine = memo.cosine;
        sine = memo.sine;
    }
    keep(58, angle);
    if constexpr (kFull) {
        V[kRotation + 0] = cosine;
        V[kRotation + 1] = -sine;
        V[kRotation + 2] = sine;
        V[kRotation + 3] = cosine;
        T[kT1 + 0] = P[13];
        T[kT1 + 1] = P[14];
        const Pair offsetStates = stage.state(kS5S6) + pairOf(P[13], P[14]);
        storePair(V + kOffsetStates, offsetStates);
        // Pose vector (V[43], V[44], 0, angle) and its copy.
        const Pair poseEnd = pairOf(0.0, angle);
        storePair(V + kPose, offsetStates);
        storePair(V + kPose + 2, poseEnd);
        storePair(V + kPoseCopy, offsetStates);
        storePair(V + kPoseCopy + 2, poseEnd);
        // Quantised values of both channels: V[65..67] and V[69..71].
        const Pair v65 = (P[18] * stage.state(kS8S9)) / (C[0] + C[0]);
        Pair v67;
        const Pair v66 = quantise(v65, pairOf(V[68], V[72]), pairOf(P[19], P[20]), v67);
        keepChannels(65, 4, v65);
        keepChannels(66, 4, v66);
        keepChannels(67, 4, v67);
        keepChannels(85, kMirrorDrive, k.inputs);
        keepChannels(80, kMirrorDrive, k.setpoints);
    }

    // Level: the latch (V[9], V[8]) follows (S[0], S[1]) one evaluation late
    // while the level (as the previous evaluation left it) is positive.
    if (carried.level > 0.0) {
        carried.latched = stage.state(kS0S1);
    }
    const Pair s10s13 = stage.state(kS10S13);
    double level = k.capacity - s10s13[0] - s10s13[1] - carried.latched[0] - carried.latched[1];
    // P[3] while the level lasts; once it is empty (never below 0), P[4].
    Pair driveFactor = k.driveFactors[0];
    if (!(level > 0.0)) {
        level = level < 0.0 ? 0.0 : level;
        driveFactor = k.driveFactors[1];
    }
    carried.level = level;
    // The fraction of the capacity left, and R[7] = S[2] / V[29].
    const Pair quotients = pairOf(level, stage.state(kS7S2)[1]) / k.capacityAndRateDivisor;
    // R[7] in both lanes: V[17..18] and V[24..25] take it so.
    const Pair r7Pair = matrix::broadcastSecond(quotients);
    const double r7 = r7Pair[0];
    stage.angleRate(r7);
    const double fraction = quotients[0];
    carryFraction(carried, fraction);
    keep(10, fraction);
    keep(11, fraction * 0.5 - 0.5);
    keep(1, k.capacity - level);
    keep(0, driveFactor[0]);

    // The rest in the order its values are waited for. The rotation's
    // inverse and V[35..36] wait for cos and sin: issued first, they are the
    // oldest work when the call delivers them, and so run first. The
    // channels, which cos and sin do not reach, come next and run while the
    // call computes. What else the rotation reaches (R[2], R[3..4], R[16])
    // comes last. The same operations in other orders take longer
    // (docs/performance.md). T2 is up to date (prepareStepInvariants).
    Pair t4[2];
    Pair t6[2];
    invertRotation<kFull>(cosine, sine, T + kT4, T + kT6, t4, t6);
    const Pair s3s4 = stage.state(kS3S4);
    const Pair r5 = matrix::matMulColumns2x2By2(k.diagonalInverseColumns[0],
                                                k.diagonalInverseColumns[1], s3s4);
    stage.rate(kS5S6, r5);
    const Pair v35 = matrix::matMulRows2x2By2(t4[0], t4[1], r5);
    const Pair v45 =
        matrix::matMulColumns2x2By2(k.rateDiagonalColumns[0], k.rateDiagonalColumns[1], r5);
    keepVector(kRotatedRates, v35);
    keepVector(kDiagonalRates, v45);

    // The channel 2-vectors' own parts: V[99] and V[113], and V[107] =
    // V[99] / P[22] and V[121] = -(V[113] / P[22]), which are also V[102]
    // and V[116].
    const Pair load = stage.state(kS16S18) / k.loadDivisors;
    const Pair v107 = negateSecond(load / k.pairDivisors);
    keepChannels(99, kMirrorPair, load);
    keepChannels(107, kMirrorPair, v107);
    keepChannels(102, kMirrorPair, v107);
    const Pair feedback = stage.state(kS17S19) / k.feedbackDivisors;  // R[8], R[9]
    stage.rate(kS8S9, feedback);

    // Channel balances and the limited drive values.
    const Pair draw = stage.state(kS11S14) / k.drawDivisors;  // V[74], V[87]
    const Pair v79 = draw * k.couplingGains;
    const Pair v73 = k.feedbackGains * feedback;
    const Pair v82 = v79 - v73;
    const Pair r17 = v82 - load;  // R[17], R[19]
    stage.rate(kS17S19, r17);
    const Pair integralTerm = k.integralGains * stage.state(kS12S15);
    const Pair r12 = k.setpoints - feedback;  // R[12], R[15]
    stage.rate(kS12S15, r12);
    const Pair proportionalTerm = k.proportionalGains * r12;
    const Pair driveUnlimited = integralTerm + proportionalTerm;
    const Pair drive =
        clampDrive<Stage::kLimitsOrdered>(driveUnlimited, k.lowerLimits, k.upperLimits);
    const Pair v78 = k.couplingGains * feedback;
    const Pair v81 = draw * k.drawGains;
    const Pair driveScaled = drive * driveFactor;  // V[83], V[96]
    const Pair r10 = driveScaled * draw;           // R[10], R[13]
    stage.rate(kS10S13, r10);
    const Pair r11 = (driveScaled - v78) - v81;  // R[11], R[14]
    stage.rate(kS11S14, r11);
    keepChannels(74, kMirrorDrive, draw);
    keepChannels(77, kMirrorDrive, integralTerm);
    keepChannels(79, kMirrorDrive, v79);
    keepChannels(81, kMirrorDrive, v81);
    keepChannels(78, kMirrorDrive, v78);
    keepChannels(73, kMirrorDrive, v73);
    keepChannels(76, kMirrorDrive, proportionalTerm);
    keepChannels(75, kMirrorDrive, driveUnlimited);
    keepChannels(82, kMirrorDrive, v82);
    keepChannels(84, kMirrorDrive, drive);
    keepChannels(83, kMirrorDrive, driveScaled);

    // V[17..18] and V[24..25]: the row vectors, transposed (T3, T5), times R[7].
    const Pair v17 = k.rowA * r7Pair;
    const Pair v24 = k.rowB * r7Pair;
    const Pair v15 = v17 + v35;  // V[15..16]
    const Pair v22 = v24 + v35;  // V[22..23]
    keepVector(kChannelAScaled, v17);
    keepVector(kChannelBScaled, v24);
    keepVector(kChannelA, v15);
    keepVector(kChannelB, v22);

    // The channel 2-vectors (V[101], V[102]) and (V[115], V[116]).
    const Pair v104 = k.pairFactors * pairOf(v15[0], v22[0]);  // V[104], V[118]
    const Pair v110 = negate(v104);  // V[110], V[124]; also V[101], V[115]
    // V[19] and V[26]: the row vectors times the channel 2-vectors, each
    // summed from 0.0 as (0 + a) + b, which is (a + b) + 0: both turn a sum
    // of two negative zeros into +0 and change nothing else. So R[2] =
    // V[26] + V[19] is (u[1] + u[0]) + 0 for u = a + b.
    const Pair products = k.rowFirsts * v110 + k.rowSeconds * v107;
    const double r2 = (matrix::broadcastSecond(products)[0] + products[0]) + 0.0;  // u[1] + u[0]
    stage.rate(kS7S2, pairOf(r7, r2));
    // V[59..60] = V[101..102] + V[115..116].
    const Pair v59 = matrix::lowLanes(v110, v107) + matrix::highLanes(v110, v107);
    const Pair v37 = matrix::matMulRows2x2By2(t6[0], t6[1], v59);
    const Pair r3 = v37 - v45;  // R[3..4]
    stage.rate(kS3S4, r3);
    keepChannels(104, kMirrorPair, v104);
    keepChannels(110, kMirrorPair, v110);
    keepChannels(101, kMirrorPair, v110);
    if constexpr (kFull) {
        const Pair v19 = products + 0.0;
        V[19] = v19[0];
        V[26] = v19[1];
    }
    keepVector(kPairSum, v59);
    keepVector(kRotatedPair, v37);

    // V[106] = V[16] / P[22], V[120] = -(V[23] / P[22]); R[16] = R[8] - V[106],
    // R[18] = R[9] - V[120].
    const Pair v106 = negateSecond(pairOf(v15[1], v22[1]) / k.pairDivisors);
    const Pair r16 = feedback - v106;
    stage.rate(kS16S18, r16);
    keepChannels(106, kMirrorPair, v106);
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
}

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_DYNAMIC_EQUATIONS_FAST_H
