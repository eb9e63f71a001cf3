// The 23 output variables: plain copies of states and results.
#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"

namespace tarvo::equations {

void evaluateOutputEquations(ModelValues& values) {
    const double* S = values + kStatesStart;
    double* V = values + kVariablesStart;
    const double* channelA = V + place::kChannelA.first;
    const double* channelB = V + place::kChannelB.first;

    V[134] = S[9];
    V[137] = S[8];
    // Pose: angle, offset position, zero.
    V[128] = V[64];
    V[129] = V[61];
    V[130] = V[62];
    V[131] = V[63];
    // Quantised values of channels A and B.
    V[132] = V[66];
    V[133] = V[70];
    // Used part of the level capacity.
    V[127] = V[1];
    // Channel A vector in the pattern x, y, y, x, x, x, x.
    V[100] = channelA[0];
    V[103] = channelA[1];
    V[108] = channelA[1];
    V[111] = channelA[0];
    V[112] = channelA[0];
    V[109] = channelA[0];
    V[105] = channelA[0];
    // Channel B vector, same pattern.
    V[114] = channelB[0];
    V[117] = channelB[1];
    V[122] = channelB[1];
    V[125] = channelB[0];
    V[126] = channelB[0];
    V[123] = channelB[0];
    V[119] = channelB[0];
}

}  // namespace tarvo::equations
