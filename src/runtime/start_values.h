// The model constant and the parameter defaults that set-up loads.
#ifndef TARVO_RUNTIME_START_VALUES_H
#define TARVO_RUNTIME_START_VALUES_H

#include "equations/model_layout.h"

namespace tarvo::runtime {

using equations::kInitialValueCount;
using equations::kParameterCount;
using equations::kStateCount;

constexpr double kPi = 3.141592653589793;  // C[0]

// P[0] to P[46] (value references 1 to 47). P[32..40] repeat P[23..31] and
// P[44..46] repeat P[41..43]: the second drive channel mirrors the first.
constexpr double kParameterDefaults[kParameterCount] = {
    2500.0,     // P[0]  capacity of the level
    0.5,        // P[1]  factor of the pattern sum in R[1]
    7.0,        // P[2]  constant rate R[0]
    1.0,        // P[3]  drive factor while the level is above 0
    0.0,        // P[4]  drive factor once the level is empty
    0.0185,     // P[5]
    0.049,      // P[6]
    0.00066,    // P[7]
    0.415,      // P[8]
    0.12,       // P[9]
    0.03,       // P[10]
    0.05,       // P[11]
    0.414,      // P[12]
    0.138,      // P[13] offset of S[5]
    -0.08,      // P[14] offset of S[6]
    0.0,        // P[15] angle offset
    1332.0,     // P[16]
    0.08,       // P[17]
    44.0,       // P[18]
    1.0,        // P[19] quantisation step, channel A
    1.0,        // P[20] quantisation step, channel B
    2.0,        // P[21] pattern selector (1 to 5)
    0.03325,    // P[22]
    0.0126,     // P[23] channel A gains and limits: P[23] to P[31]
    0.00171,    // P[24]
    1.0,        // P[25]
    0.01,       // P[26]
    0.796,      // P[27]
    5.18,       // P[28]
    8.2,        // P[29]
    20.0,       // P[30] upper limit of the channel A drive value
    -20.0,      // P[31] lower limit of the channel A drive value
    0.0126,     // P[32] channel B gains and limits: P[32] to P[40]
    0.00171,    // P[33]
    1.0,        // P[34]
    0.01,       // P[35]
    0.796,      // P[36]
    5.18,       // P[37]
    8.2,        // P[38]
    20.0,       // P[39] upper limit of the channel B drive value
    -20.0,      // P[40] lower limit of the channel B drive value
    1e-05,      // P[41]
    1.244e-07,  // P[42]
    100000.0,   // P[43]
    1e-05,      // P[44]
    1.244e-07,  // P[45]
    100000.0,   // P[46]
};

// pi, the parameter defaults and zero initial values, copied into the
// states as well.
void setStartValues(equations::ModelValues& values);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_START_VALUES_H
