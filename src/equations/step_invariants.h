// The step invariants of the dynamic equations: for the runtime, which
// gathers them once per run of internal steps and hands them to every
// evaluation, and for the equations that use them. Nothing above the
// runtime sees them.
#ifndef TARVO_EQUATIONS_STEP_INVARIANTS_H
#define TARVO_EQUATIONS_STEP_INVARIANTS_H

#include "matrix/small_ops.h"

namespace tarvo::equations {

// The 20 states as ten pairs, in the lanes the fast equations read them
// in; the rates of the states come in the same pairs. (S[7], S[2]) and
// (S[10], S[13]) are no neighbours in the record, the others are.
enum StatePair : int {
    kS7S2,    // S[7] gives the angle, S[2] R[7]
    kS0S1,    // the level latch follows these; constant rates R[0], R[1]
    kS3S4,    // give R[5..6] through T2
    kS5S6,    // read only by a full evaluation
    kS8S9,    // read only by a full evaluation (the quantised values)
    kS10S13,  // drawn from the level
    kS11S14,
    kS12S15,
    kS16S18,
    kS17S19,
    kStatePairCount
};

// The state index of each lane of each pair.
constexpr int kStatePairLanes[kStatePairCount][2] = {
    {7, 2}, {0, 1}, {3, 4}, {5, 6}, {8, 9}, {10, 13}, {11, 14}, {12, 15}, {16, 18}, {17, 19}};

struct StatePairs {
    matrix::Pair of[kStatePairCount];
};

// What the dynamic equations take from parameters, inputs and the fixed
// quantities of the initial and parameter-dependent equations alone, in the
// pairs the fast evaluation computes with (channel A in the first lane,
// channel B in the second). Nothing writes any of it during the internal
// steps of one communication step, so a run of them gathers it once; gathering
// also brings T2, the inverse of V[31..34], up to date. The literal
// equations need none of it and leave it as it is.
struct StepInvariants {
    // The drive loop of each channel: the setpoint, the input scaled, is
    // compared with the feedback R[8] (R[9]); the drive value is the
    // proportional term of that error plus the integral term of its
    // integral, limited to a range and scaled by the drive factor.
    matrix::Pair inputs;             // V[135], V[136]: V[85], V[98]
    matrix::Pair setpoints;          // V[85] P[28], V[98] P[37]: V[80], V[93]
    matrix::Pair proportionalGains;  // P[25], P[34]
    matrix::Pair integralGains;      // P[25] / P[26], P[34] / P[35]
    matrix::Pair lowerLimits;        // P[31], P[40]
    matrix::Pair upperLimits;        // P[30], P[39]
    bool limitsOrdered;              // lower limits at most the upper ones, none NaN
    matrix::Pair feedbackDivisors;   // P[42], P[45]: R[8] = S[17] / P[42]
    matrix::Pair feedbackGains;      // P[23], P[32]: V[73] = P[23] R[8]
    // What the drive draws from the level, R[10] = V[83] V[74], and the
    // values it is coupled with.
    matrix::Pair drawDivisors;   // P[24], P[33]: V[74] = S[11] / P[24]
    matrix::Pair couplingGains;  // P[27], P[36]: V[79] = V[74] P[27], V[78] = P[27] R[8]
    matrix::Pair drawGains;      // P[29], P[38]: V[81] = V[74] P[29]
    matrix::Pair loadDivisors;   // P[41], P[44]: V[99] = S[16] / P[41]
    // The channel 2-vectors.
    matrix::Pair pairDivisors;  // P[22], P[22]: V[107] = V[99] / P[22]
    matrix::Pair pairFactors;   // P[43], P[46]: V[104] = P[43] V[15]
    matrix::Pair rowFirsts;     // V[20], V[27]
    matrix::Pair rowSeconds;    // V[21], V[28]
    matrix::Pair rowA;          // V[20..21]
    matrix::Pair rowB;          // V[27..28]
    // The level and the angle.
    matrix::Pair capacityAndRateDivisor;  // P[0], V[29]
    double capacity;                      // P[0]
    double angleOffset;                   // P[15]
    matrix::Pair driveFactors[2];         // (P[3], P[3]) while the level lasts, then (P[4], P[4])
    matrix::Pair diagonalInverseColumns[2];  // T2, the inverse of V[31..34]
    matrix::Pair rateDiagonalColumns[2];     // V[47..50]
};

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_STEP_INVARIANTS_H
