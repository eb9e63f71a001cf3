// The step invariants of the dynamic equations: for the runtime, which
// gathers them once per run of internal steps and hands them to every
// evaluation, and for the equations that use them. Nothing above the
// runtime sees them.
#ifndef TARVO_EQUATIONS_STEP_INVARIANTS_H
#define TARVO_EQUATIONS_STEP_INVARIANTS_H

#include "matrix/small_ops.h"

namespace tarvo::equations {

// What the dynamic equations take from parameters, inputs and the fixed
// quantities of the initial and parameter-dependent equations alone, in the
// pairs the fast evaluation computes with (channel A in the first lane,
// channel B in the second). Nothing writes any of it during a Runge-Kutta
// step, so a step gathers it once for its four evaluations; gathering also
// brings T2, the inverse of V[31..34], up to date. The literal equations
// need none of it and leave it as it is.
struct StepInvariants {
    matrix::Pair divisors74;   // P[24], P[33]
    matrix::Pair ratios77;     // P[25] / P[26], P[34] / P[35]
    matrix::Pair divisors99;   // P[41], P[44]
    matrix::Pair divisorsR8;   // P[42], P[45]
    matrix::Pair inputs;       // V[135], V[136]: V[85], V[98]
    matrix::Pair gains79;      // P[27], P[36]
    matrix::Pair v80;          // V[85] P[28], V[98] P[37]
    matrix::Pair gains81;      // P[29], P[38]
    matrix::Pair divisors107;  // P[22], P[22]
    matrix::Pair gains73;      // P[23], P[32]
    matrix::Pair gains76;      // P[25], P[34]
    matrix::Pair lowerLimits;  // P[31], P[40]
    matrix::Pair upperLimits;  // P[30], P[39]
    matrix::Pair factors104;   // P[43], P[46]
    matrix::Pair rowFirsts;    // V[20], V[27]
    matrix::Pair rowSeconds;   // V[21], V[28]
    matrix::Pair diagonalInverseColumns[2];  // T2, the inverse of V[31..34]
    matrix::Pair rateDiagonalColumns[2];     // V[47..50]
};

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_STEP_INVARIANTS_H
