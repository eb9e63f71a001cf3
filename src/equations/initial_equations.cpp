// Fixed quantities of the model, computed from the parameters: once per
// initialisation, and (the parameter-dependent part) again before the next
// step whenever the host has written a parameter.
#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"

namespace tarvo::equations {

void evaluateInitialEquations(ModelValues& values) {
    const double* P = values + kParametersStart;
    const double* IV = values + kInitialValuesStart;
    double* V = values + kVariablesStart;
    double* S = values + kStatesStart;
    double* R = values + kRatesStart;

    // Divisor of S[2] in R[7].
    V[30] = ((P[9] * P[9]) * (P[8] / 12.0)) * (P[10] * P[10]) + (P[11] * P[11]) * P[8];
    V[29] = V[30] + P[7];

    // Diagonal matrix whose inverse turns S[3..4] into R[5..6].
    double* d = V + place::kDiagonal.first;
    d[0] = P[12] + P[8];
    d[1] = 0.0;
    d[2] = 0.0;
    d[3] = P[12] + P[8];

    V[51] = ((P[11] * P[8]) / P[17]) * P[16];
    V[52] = ((P[12] * P[5]) / P[17]) * P[16];
    V[53] = V[52] + V[51];

    double* e = V + place::kRateDiagonal.first;
    e[0] = V[53];
    e[1] = 0.0;
    e[2] = 0.0;
    e[3] = V[53];

    // P[21] = k switches on the first k entries of the pattern; any other
    // value (also NaN) leaves the pattern as it was.
    double* pattern = V + place::kPattern.first;
    for (int k = 1; k <= 5; ++k) {
        if (P[21] == static_cast<double>(k)) {
            for (int i = 0; i < 5; ++i) {
                pattern[i] = i < k ? 1.0 : 0.0;
            }
        }
    }

    double* triple = V + place::kTriple.first;
    triple[0] = 0.0;
    triple[1] = 1.0;
    triple[2] = 0.0;

    R[1] = ((((pattern[1] + pattern[0]) + pattern[2]) + pattern[3]) + pattern[4]) * P[1];

    // The level latch starts empty.
    V[8] = 0.0;
    V[9] = 0.0;
    V[7] = 0.0;

    for (uint32_t i = 0; i < kStateCount; ++i) {
        S[i] = IV[i];
    }
}

void evaluateParameterEquations(ModelValues& values) {
    const double* P = values + kParametersStart;
    double* V = values + kVariablesStart;
    double* R = values + kRatesStart;

    R[0] = P[2];

    double* rowA = V + place::kRowA.first;
    rowA[0] = P[5];
    rowA[1] = -P[6];

    double* rowB = V + place::kRowB.first;
    rowB[0] = P[5];
    rowB[1] = P[6];

    // Half quantisation steps: rounding to a multiple goes halves away from zero.
    V[68] = P[19] * 0.5;
    V[72] = P[20] * 0.5;
}

}  // namespace tarvo::equations
