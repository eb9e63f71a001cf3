// Every value of the model as a host sees it, one row per value reference:
// name, causality, variability, initial and description. The model
// description is generated from this table, and the start values it declares
// come from the defaults of start_values.h, so the two cannot disagree.
//
// Names follow the structured convention: a role where the model gives the
// value one (level.capacity, channelA.drive), otherwise the section and the
// model's own 0-based index (parameters[5], variables[42], states[3]).
// Descriptions use the model's short forms C, P, IV, V, S, R.
#ifndef TARVO_RUNTIME_MODEL_VARIABLES_H
#define TARVO_RUNTIME_MODEL_VARIABLES_H

#include <cstdint>

#include "equations/model_layout.h"
#include "runtime/model.h"
#include "runtime/start_values.h"

namespace tarvo::runtime {

// The sections of the model data, for the table and for the tools that
// describe value references.
using equations::kConstantCount;
using equations::kConstantsStart;
using equations::kInitialValueCount;
using equations::kInitialValuesStart;
using equations::kModelDataSize;
using equations::kParameterCount;
using equations::kParametersStart;
using equations::kRateCount;
using equations::kRatesStart;
using equations::kStateCount;
using equations::kStatesStart;
using equations::kVariableCount;
using equations::kVariablesStart;

enum class Causality {
    parameter,
    input,
    output,
    local
};
enum class Variability {
    constant,
    fixed,
    tunable,
    continuous
};
// Inputs carry a start value but no initial attribute.
enum class Initial {
    exact,
    calculated,
    noAttribute
};

struct ModelVariable {
    uint32_t valueReference;
    const char* name;
    Causality causality;
    Variability variability;
    Initial initial;
    const char* description;
};

// Parameters read only by the initial equations are fixed; those that the
// parameter-dependent or dynamic equations read are tunable. Locals written
// only by the initial equations are fixed, those written by the
// parameter-dependent equations tunable, the rest continuous.
constexpr ModelVariable kModelVariables[] = {
    {0, "pi", Causality::local, Variability::constant, Initial::exact, "C[0], the constant pi"},
    {1, "level.capacity", Causality::parameter, Variability::tunable, Initial::exact,
     "P[0]: capacity of the level: V[7] = P[0] - S[10] - S[13] - V[9] - V[8], floored at 0; V[10] = V[7] / P[0]"},
    {2, "pattern.rateFactor", Causality::parameter, Variability::fixed, Initial::exact,
     "P[1]: R[1] = P[1] times the sum of the pattern V[2..6]"},
    {3, "level.constantRate", Causality::parameter, Variability::tunable, Initial::exact,
     "P[2]: R[0] = P[2], the rate of level.integral[0]"},
    {4, "level.driveFactorAboveZero", Causality::parameter, Variability::tunable, Initial::exact,
     "P[3]: drive factor V[0] of both channels while the level V[7] is above 0"},
    {5, "level.driveFactorAtZero", Causality::parameter, Variability::tunable, Initial::exact,
     "P[4]: drive factor V[0] of both channels once the level V[7] is 0"},
    {6, "parameters[5]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[5]: first element of both row vectors (V[20], V[27]); factor of V[52]"},
    {7, "parameters[6]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[6]: second element of the row vectors: V[21] = -P[6], V[28] = P[6]"},
    {8, "parameters[7]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[7]: V[29] = V[30] + P[7]"},
    {9, "parameters[8]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[8]: factor of V[30] and V[51]; diagonal of V[31..34] = P[12] + P[8]"},
    {10, "parameters[9]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[9]: squared factor of V[30]"},
    {11, "parameters[10]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[10]: squared factor of V[30]"},
    {12, "parameters[11]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[11]: squared term of V[30]; factor of V[51]"},
    {13, "parameters[12]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[12]: diagonal of V[31..34] = P[12] + P[8]; factor of V[52]"},
    {14, "pose.offset[0]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[13]: V[43] = S[5] + P[13]"},
    {15, "pose.offset[1]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[14]: V[44] = S[6] + P[14]"},
    {16, "rotation.angleOffset", Causality::parameter, Variability::tunable, Initial::exact,
     "P[15]: angle V[58] = S[7] + P[15]"},
    {17, "parameters[16]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[16]: factor of V[51] and V[52]"},
    {18, "parameters[17]", Causality::parameter, Variability::fixed, Initial::exact,
     "P[17]: divisor of V[51] and V[52]"},
    {19, "quantisation.scale", Causality::parameter, Variability::tunable, Initial::exact,
     "P[18]: V[65] = (P[18] * S[8]) / (2 pi), V[69] = (P[18] * S[9]) / (2 pi)"},
    {20, "channelA.quantisationStep", Causality::parameter, Variability::tunable, Initial::exact,
     "P[19]: channel A: V[66] is V[65] rounded to a whole multiple of P[19], halves away from zero"},
    {21, "channelB.quantisationStep", Causality::parameter, Variability::tunable, Initial::exact,
     "P[20]: channel B: V[70] is V[69] rounded to a whole multiple of P[20], halves away from zero"},
    {22, "pattern.selector", Causality::parameter, Variability::fixed, Initial::exact,
     "P[21]: 1 to 5 set that many leading entries of V[2..6] to 1, the rest to 0; any other value leaves them as they are"},
    {23, "parameters[22]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[22]: divisor of V[106], V[107], V[120] and V[121]"},
    {24, "parameters[23]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[23]: channel A: V[73] = P[23] * R[8]"},
    {25, "parameters[24]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[24]: channel A: V[74] = S[11] / P[24]"},
    {26, "parameters[25]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[25]: channel A: V[77] = (P[25] / P[26]) * S[12]; V[76] = P[25] * R[12]"},
    {27, "parameters[26]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[26]: channel A: divisor in V[77]"},
    {28, "parameters[27]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[27]: channel A: V[79] = V[74] * P[27]; V[78] = P[27] * R[8]"},
    {29, "parameters[28]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[28]: channel A: V[80] = V[85] * P[28], the gain of the input"},
    {30, "parameters[29]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[29]: channel A: V[81] = V[74] * P[29]"},
    {31, "channelA.driveUpperLimit", Causality::parameter, Variability::tunable, Initial::exact,
     "P[30]: upper limit of the channel A drive value V[84]"},
    {32, "channelA.driveLowerLimit", Causality::parameter, Variability::tunable, Initial::exact,
     "P[31]: lower limit of the channel A drive value V[84]"},
    {33, "parameters[32]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[32]: channel B: V[86] = P[32] * R[9]"},
    {34, "parameters[33]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[33]: channel B: V[87] = S[14] / P[33]"},
    {35, "parameters[34]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[34]: channel B: V[90] = (P[34] / P[35]) * S[15]; V[89] = P[34] * R[15]"},
    {36, "parameters[35]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[35]: channel B: divisor in V[90]"},
    {37, "parameters[36]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[36]: channel B: V[92] = V[87] * P[36]; V[91] = P[36] * R[9]"},
    {38, "parameters[37]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[37]: channel B: V[93] = V[98] * P[37], the gain of the input"},
    {39, "parameters[38]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[38]: channel B: V[94] = V[87] * P[38]"},
    {40, "channelB.driveUpperLimit", Causality::parameter, Variability::tunable, Initial::exact,
     "P[39]: upper limit of the channel B drive value V[97]"},
    {41, "channelB.driveLowerLimit", Causality::parameter, Variability::tunable, Initial::exact,
     "P[40]: lower limit of the channel B drive value V[97]"},
    {42, "parameters[41]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[41]: channel A: V[99] = S[16] / P[41]"},
    {43, "parameters[42]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[42]: channel A: R[8] = S[17] / P[42]"},
    {44, "parameters[43]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[43]: channel A: V[104] = P[43] * V[15]"},
    {45, "parameters[44]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[44]: channel B: V[113] = S[18] / P[44]"},
    {46, "parameters[45]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[45]: channel B: R[9] = S[19] / P[45]"},
    {47, "parameters[46]", Causality::parameter, Variability::tunable, Initial::exact,
     "P[46]: channel B: V[118] = P[46] * V[22]"},
    {48, "initialValues[0]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[0]: start value of S[0] (level.integral[0])"},
    {49, "initialValues[1]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[1]: start value of S[1] (level.integral[1])"},
    {50, "initialValues[2]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[2]: start value of S[2] (states[2])"},
    {51, "initialValues[3]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[3]: start value of S[3] (states[3])"},
    {52, "initialValues[4]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[4]: start value of S[4] (states[4])"},
    {53, "initialValues[5]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[5]: start value of S[5] (states[5])"},
    {54, "initialValues[6]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[6]: start value of S[6] (states[6])"},
    {55, "initialValues[7]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[7]: start value of S[7] (rotation.angleState)"},
    {56, "initialValues[8]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[8]: start value of S[8] (states[8])"},
    {57, "initialValues[9]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[9]: start value of S[9] (states[9])"},
    {58, "initialValues[10]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[10]: start value of S[10] (channelA.integral)"},
    {59, "initialValues[11]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[11]: start value of S[11] (states[11])"},
    {60, "initialValues[12]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[12]: start value of S[12] (states[12])"},
    {61, "initialValues[13]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[13]: start value of S[13] (channelB.integral)"},
    {62, "initialValues[14]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[14]: start value of S[14] (states[14])"},
    {63, "initialValues[15]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[15]: start value of S[15] (states[15])"},
    {64, "initialValues[16]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[16]: start value of S[16] (states[16])"},
    {65, "initialValues[17]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[17]: start value of S[17] (states[17])"},
    {66, "initialValues[18]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[18]: start value of S[18] (states[18])"},
    {67, "initialValues[19]", Causality::parameter, Variability::fixed, Initial::exact,
     "IV[19]: start value of S[19] (states[19])"},
    {68, "level.driveFactor", Causality::local, Variability::continuous, Initial::calculated,
     "V[0]: drive factor of both channels: P[3] while the level V[7] is above 0, else P[4]"},
    {69, "variables[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[1]: P[0] - V[7], the capacity less the level; copied to level.used"},
    {70, "pattern.entries[0]", Causality::local, Variability::fixed, Initial::calculated,
     "V[2]: entry 0 of the 0/1 pattern chosen by P[21]"},
    {71, "pattern.entries[1]", Causality::local, Variability::fixed, Initial::calculated,
     "V[3]: entry 1 of the 0/1 pattern chosen by P[21]"},
    {72, "pattern.entries[2]", Causality::local, Variability::fixed, Initial::calculated,
     "V[4]: entry 2 of the 0/1 pattern chosen by P[21]"},
    {73, "pattern.entries[3]", Causality::local, Variability::fixed, Initial::calculated,
     "V[5]: entry 3 of the 0/1 pattern chosen by P[21]"},
    {74, "pattern.entries[4]", Causality::local, Variability::fixed, Initial::calculated,
     "V[6]: entry 4 of the 0/1 pattern chosen by P[21]"},
    {75, "level.value", Causality::local, Variability::continuous, Initial::calculated,
     "V[7]: the level: P[0] - S[10] - S[13] - V[9] - V[8], floored at 0"},
    {76, "level.latchedIntegral1", Causality::local, Variability::continuous, Initial::calculated,
     "V[8]: S[1] as latched while the level is above 0"},
    {77, "level.latchedIntegral0", Causality::local, Variability::continuous, Initial::calculated,
     "V[9]: S[0] as latched while the level is above 0"},
    {78, "level.fraction", Causality::local, Variability::continuous, Initial::calculated,
     "V[10]: V[7] / P[0], the fraction of the capacity left"},
    {79, "variables[11]", Causality::local, Variability::continuous, Initial::calculated,
     "V[11]: V[10] * 0.5 - 0.5"},
    {80, "level.triple[0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[12]: element 0 of the triple chosen by V[10]: (0, 1, 0) above 0.5, (1, 0.76, 0) between 0.2 and 0.5, (0.72, 0, 0.16) below 0.2"},
    {81, "level.triple[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[13]: element 1 of the triple chosen by V[10]: (0, 1, 0) above 0.5, (1, 0.76, 0) between 0.2 and 0.5, (0.72, 0, 0.16) below 0.2"},
    {82, "level.triple[2]", Causality::local, Variability::continuous, Initial::calculated,
     "V[14]: element 2 of the triple chosen by V[10]: (0, 1, 0) above 0.5, (1, 0.76, 0) between 0.2 and 0.5, (0.72, 0, 0.16) below 0.2"},
    {83, "channelA.vector[0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[15]: channel A vector, first element: V[17] + V[35]; copied to channelA.out[0], [2], [4], [5], [6]"},
    {84, "channelA.vector[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[16]: channel A vector, second element: V[18] + V[36]; copied to channelA.out[1], [3]"},
    {85, "variables[17]", Causality::local, Variability::continuous, Initial::calculated,
     "V[17]: channel A: V[20] * R[7]"},
    {86, "variables[18]", Causality::local, Variability::continuous, Initial::calculated,
     "V[18]: channel A: V[21] * R[7]"},
    {87, "variables[19]", Causality::local, Variability::continuous, Initial::calculated,
     "V[19]: channel A: dot product of the row vector V[20..21] and the pair V[101..102]"},
    {88, "variables[20]", Causality::local, Variability::tunable, Initial::calculated,
     "V[20]: P[5], first element of the channel A row vector"},
    {89, "variables[21]", Causality::local, Variability::tunable, Initial::calculated,
     "V[21]: -P[6], second element of the channel A row vector"},
    {90, "channelB.vector[0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[22]: channel B vector, first element: V[24] + V[35]; copied to channelB.out[0], [2], [4], [5], [6]"},
    {91, "channelB.vector[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[23]: channel B vector, second element: V[25] + V[36]; copied to channelB.out[1], [3]"},
    {92, "variables[24]", Causality::local, Variability::continuous, Initial::calculated,
     "V[24]: channel B: V[27] * R[7]"},
    {93, "variables[25]", Causality::local, Variability::continuous, Initial::calculated,
     "V[25]: channel B: V[28] * R[7]"},
    {94, "variables[26]", Causality::local, Variability::continuous, Initial::calculated,
     "V[26]: channel B: dot product of the row vector V[27..28] and the pair V[115..116]"},
    {95, "variables[27]", Causality::local, Variability::tunable, Initial::calculated,
     "V[27]: P[5], first element of the channel B row vector"},
    {96, "variables[28]", Causality::local, Variability::tunable, Initial::calculated,
     "V[28]: P[6], second element of the channel B row vector"},
    {97, "rotation.rateDivisor", Causality::local, Variability::fixed, Initial::calculated,
     "V[29]: V[30] + P[7], the divisor of S[2] in the angle rate R[7]"},
    {98, "variables[30]", Causality::local, Variability::fixed, Initial::calculated,
     "V[30]: (P[9] * P[9]) * (P[8] / 12) * (P[10] * P[10]) + (P[11] * P[11]) * P[8]"},
    {99, "variables[31]", Causality::local, Variability::fixed, Initial::calculated,
     "V[31]: row 0, column 0 of the diagonal matrix V[31..34] (P[12] + P[8] on the diagonal); R[5..6] is its inverse times S[3..4]"},
    {100, "variables[32]", Causality::local, Variability::fixed, Initial::calculated,
     "V[32]: row 0, column 1 of the diagonal matrix V[31..34] (P[12] + P[8] on the diagonal); R[5..6] is its inverse times S[3..4]"},
    {101, "variables[33]", Causality::local, Variability::fixed, Initial::calculated,
     "V[33]: row 1, column 0 of the diagonal matrix V[31..34] (P[12] + P[8] on the diagonal); R[5..6] is its inverse times S[3..4]"},
    {102, "variables[34]", Causality::local, Variability::fixed, Initial::calculated,
     "V[34]: row 1, column 1 of the diagonal matrix V[31..34] (P[12] + P[8] on the diagonal); R[5..6] is its inverse times S[3..4]"},
    {103, "variables[35]", Causality::local, Variability::continuous, Initial::calculated,
     "V[35]: first element of the inverse of the rotation matrix times R[5..6]"},
    {104, "variables[36]", Causality::local, Variability::continuous, Initial::calculated,
     "V[36]: second element of the inverse of the rotation matrix times R[5..6]"},
    {105, "variables[37]", Causality::local, Variability::continuous, Initial::calculated,
     "V[37]: first element of the inverse of the transposed rotation matrix times V[59..60]"},
    {106, "variables[38]", Causality::local, Variability::continuous, Initial::calculated,
     "V[38]: second element of the inverse of the transposed rotation matrix times V[59..60]"},
    {107, "rotation.matrix[0,0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[39]: row 0, column 0 of the rotation matrix of the angle V[58]: cos(V[58])"},
    {108, "rotation.matrix[0,1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[40]: row 0, column 1 of the rotation matrix of the angle V[58]: -sin(V[58])"},
    {109, "rotation.matrix[1,0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[41]: row 1, column 0 of the rotation matrix of the angle V[58]: sin(V[58])"},
    {110, "rotation.matrix[1,1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[42]: row 1, column 1 of the rotation matrix of the angle V[58]: cos(V[58])"},
    {111, "variables[43]", Causality::local, Variability::continuous, Initial::calculated,
     "V[43]: S[5] + P[13]"},
    {112, "variables[44]", Causality::local, Variability::continuous, Initial::calculated,
     "V[44]: S[6] + P[14]"},
    {113, "variables[45]", Causality::local, Variability::continuous, Initial::calculated,
     "V[45]: first element of V[47..50] times R[5..6]"},
    {114, "variables[46]", Causality::local, Variability::continuous, Initial::calculated,
     "V[46]: second element of V[47..50] times R[5..6]"},
    {115, "variables[47]", Causality::local, Variability::fixed, Initial::calculated,
     "V[47]: row 0, column 0 of the diagonal matrix V[47..50] (V[53] on the diagonal)"},
    {116, "variables[48]", Causality::local, Variability::fixed, Initial::calculated,
     "V[48]: row 0, column 1 of the diagonal matrix V[47..50] (V[53] on the diagonal)"},
    {117, "variables[49]", Causality::local, Variability::fixed, Initial::calculated,
     "V[49]: row 1, column 0 of the diagonal matrix V[47..50] (V[53] on the diagonal)"},
    {118, "variables[50]", Causality::local, Variability::fixed, Initial::calculated,
     "V[50]: row 1, column 1 of the diagonal matrix V[47..50] (V[53] on the diagonal)"},
    {119, "variables[51]", Causality::local, Variability::fixed, Initial::calculated,
     "V[51]: ((P[11] * P[8]) / P[17]) * P[16]"},
    {120, "variables[52]", Causality::local, Variability::fixed, Initial::calculated,
     "V[52]: ((P[12] * P[5]) / P[17]) * P[16]"},
    {121, "variables[53]", Causality::local, Variability::fixed, Initial::calculated,
     "V[53]: V[52] + V[51]"},
    {122, "variables[54]", Causality::local, Variability::continuous, Initial::calculated,
     "V[54]: element 0 of the pose vector V[54..57]: V[43]"},
    {123, "variables[55]", Causality::local, Variability::continuous, Initial::calculated,
     "V[55]: element 1 of the pose vector V[54..57]: V[44]"},
    {124, "variables[56]", Causality::local, Variability::continuous, Initial::calculated,
     "V[56]: element 2 of the pose vector V[54..57]: 0"},
    {125, "variables[57]", Causality::local, Variability::continuous, Initial::calculated,
     "V[57]: element 3 of the pose vector V[54..57]: the angle V[58]"},
    {126, "rotation.angle", Causality::local, Variability::continuous, Initial::calculated,
     "V[58]: the angle S[7] + P[15]"},
    {127, "variables[59]", Causality::local, Variability::continuous, Initial::calculated,
     "V[59]: V[101] + V[115]"},
    {128, "variables[60]", Causality::local, Variability::continuous, Initial::calculated,
     "V[60]: V[102] + V[116]"},
    {129, "variables[61]", Causality::local, Variability::continuous, Initial::calculated,
     "V[61]: copy of pose vector element 0 (V[54])"},
    {130, "variables[62]", Causality::local, Variability::continuous, Initial::calculated,
     "V[62]: copy of pose vector element 1 (V[55])"},
    {131, "variables[63]", Causality::local, Variability::continuous, Initial::calculated,
     "V[63]: copy of pose vector element 2 (V[56])"},
    {132, "variables[64]", Causality::local, Variability::continuous, Initial::calculated,
     "V[64]: copy of pose vector element 3 (V[57])"},
    {133, "channelA.scaledState", Causality::local, Variability::continuous, Initial::calculated,
     "V[65]: channel A: (P[18] * S[8]) / (2 pi), the value that is quantised"},
    {134, "variables[66]", Causality::local, Variability::continuous, Initial::calculated,
     "V[66]: channel A: V[65] rounded to a whole multiple of P[19], halves away from zero; copied to channelA.quantised"},
    {135, "variables[67]", Causality::local, Variability::continuous, Initial::calculated,
     "V[67]: channel A: V[65] moved away from zero by V[68]"},
    {136, "variables[68]", Causality::local, Variability::tunable, Initial::calculated,
     "V[68]: channel A: P[19] * 0.5, half the quantisation step"},
    {137, "channelB.scaledState", Causality::local, Variability::continuous, Initial::calculated,
     "V[69]: channel B: (P[18] * S[9]) / (2 pi), the value that is quantised"},
    {138, "variables[70]", Causality::local, Variability::continuous, Initial::calculated,
     "V[70]: channel B: V[69] rounded to a whole multiple of P[20], halves away from zero; copied to channelB.quantised"},
    {139, "variables[71]", Causality::local, Variability::continuous, Initial::calculated,
     "V[71]: channel B: V[69] moved away from zero by V[72]"},
    {140, "variables[72]", Causality::local, Variability::tunable, Initial::calculated,
     "V[72]: channel B: P[20] * 0.5, half the quantisation step"},
    {141, "variables[73]", Causality::local, Variability::continuous, Initial::calculated,
     "V[73]: channel A: P[23] * R[8]"},
    {142, "variables[74]", Causality::local, Variability::continuous, Initial::calculated,
     "V[74]: channel A: S[11] / P[24]"},
    {143, "channelA.driveUnlimited", Causality::local, Variability::continuous,
     Initial::calculated, "V[75]: channel A drive value before its limits: V[77] + V[76]"},
    {144, "variables[76]", Causality::local, Variability::continuous, Initial::calculated,
     "V[76]: channel A: P[25] * R[12]"},
    {145, "variables[77]", Causality::local, Variability::continuous, Initial::calculated,
     "V[77]: channel A: (P[25] / P[26]) * S[12]"},
    {146, "variables[78]", Causality::local, Variability::continuous, Initial::calculated,
     "V[78]: channel A: P[27] * R[8]"},
    {147, "variables[79]", Causality::local, Variability::continuous, Initial::calculated,
     "V[79]: channel A: V[74] * P[27]"},
    {148, "variables[80]", Causality::local, Variability::continuous, Initial::calculated,
     "V[80]: channel A: V[85] * P[28]"},
    {149, "variables[81]", Causality::local, Variability::continuous, Initial::calculated,
     "V[81]: channel A: V[74] * P[29]"},
    {150, "variables[82]", Causality::local, Variability::continuous, Initial::calculated,
     "V[82]: channel A: V[79] - V[73]"},
    {151, "channelA.driveScaled", Causality::local, Variability::continuous, Initial::calculated,
     "V[83]: channel A drive value times the drive factor: V[84] * V[0]"},
    {152, "channelA.drive", Causality::local, Variability::continuous, Initial::calculated,
     "V[84]: channel A drive value: V[75] limited to the range P[31] to P[30]"},
    {153, "variables[85]", Causality::local, Variability::continuous, Initial::calculated,
     "V[85]: channel A: copy of the input V[135]"},
    {154, "variables[86]", Causality::local, Variability::continuous, Initial::calculated,
     "V[86]: channel B: P[32] * R[9]"},
    {155, "variables[87]", Causality::local, Variability::continuous, Initial::calculated,
     "V[87]: channel B: S[14] / P[33]"},
    {156, "channelB.driveUnlimited", Causality::local, Variability::continuous,
     Initial::calculated, "V[88]: channel B drive value before its limits: V[90] + V[89]"},
    {157, "variables[89]", Causality::local, Variability::continuous, Initial::calculated,
     "V[89]: channel B: P[34] * R[15]"},
    {158, "variables[90]", Causality::local, Variability::continuous, Initial::calculated,
     "V[90]: channel B: (P[34] / P[35]) * S[15]"},
    {159, "variables[91]", Causality::local, Variability::continuous, Initial::calculated,
     "V[91]: channel B: P[36] * R[9]"},
    {160, "variables[92]", Causality::local, Variability::continuous, Initial::calculated,
     "V[92]: channel B: V[87] * P[36]"},
    {161, "variables[93]", Causality::local, Variability::continuous, Initial::calculated,
     "V[93]: channel B: V[98] * P[37]"},
    {162, "variables[94]", Causality::local, Variability::continuous, Initial::calculated,
     "V[94]: channel B: V[87] * P[38]"},
    {163, "variables[95]", Causality::local, Variability::continuous, Initial::calculated,
     "V[95]: channel B: V[92] - V[86]"},
    {164, "channelB.driveScaled", Causality::local, Variability::continuous, Initial::calculated,
     "V[96]: channel B drive value times the drive factor: V[97] * V[0]"},
    {165, "channelB.drive", Causality::local, Variability::continuous, Initial::calculated,
     "V[97]: channel B drive value: V[88] limited to the range P[40] to P[39]"},
    {166, "variables[98]", Causality::local, Variability::continuous, Initial::calculated,
     "V[98]: channel B: copy of the input V[136]"},
    {167, "variables[99]", Causality::local, Variability::continuous, Initial::calculated,
     "V[99]: channel A: S[16] / P[41]"},
    {168, "channelA.out[0]", Causality::output, Variability::continuous, Initial::calculated,
     "V[100]: channel A: copy of channelA.vector[0] (V[15])"},
    {169, "channelA.pair[0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[101]: channel A pair, first element: V[110] = -V[104]"},
    {170, "channelA.pair[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[102]: channel A pair, second element: V[107]"},
    {171, "channelA.out[1]", Causality::output, Variability::continuous, Initial::calculated,
     "V[103]: channel A: copy of channelA.vector[1] (V[16])"},
    {172, "variables[104]", Causality::local, Variability::continuous, Initial::calculated,
     "V[104]: channel A: P[43] * V[15]"},
    {173, "channelA.out[2]", Causality::output, Variability::continuous, Initial::calculated,
     "V[105]: channel A: copy of channelA.vector[0] (V[15])"},
    {174, "variables[106]", Causality::local, Variability::continuous, Initial::calculated,
     "V[106]: channel A: V[16] / P[22]"},
    {175, "variables[107]", Causality::local, Variability::continuous, Initial::calculated,
     "V[107]: channel A: V[99] / P[22]"},
    {176, "channelA.out[3]", Causality::output, Variability::continuous, Initial::calculated,
     "V[108]: channel A: copy of channelA.vector[1] (V[16])"},
    {177, "channelA.out[4]", Causality::output, Variability::continuous, Initial::calculated,
     "V[109]: channel A: copy of channelA.vector[0] (V[15])"},
    {178, "variables[110]", Causality::local, Variability::continuous, Initial::calculated,
     "V[110]: channel A: -V[104]"},
    {179, "channelA.out[5]", Causality::output, Variability::continuous, Initial::calculated,
     "V[111]: channel A: copy of channelA.vector[0] (V[15])"},
    {180, "channelA.out[6]", Causality::output, Variability::continuous, Initial::calculated,
     "V[112]: channel A: copy of channelA.vector[0] (V[15])"},
    {181, "variables[113]", Causality::local, Variability::continuous, Initial::calculated,
     "V[113]: channel B: S[18] / P[44]"},
    {182, "channelB.out[0]", Causality::output, Variability::continuous, Initial::calculated,
     "V[114]: channel B: copy of channelB.vector[0] (V[22])"},
    {183, "channelB.pair[0]", Causality::local, Variability::continuous, Initial::calculated,
     "V[115]: channel B pair, first element: V[124] = -V[118]"},
    {184, "channelB.pair[1]", Causality::local, Variability::continuous, Initial::calculated,
     "V[116]: channel B pair, second element: V[121]"},
    {185, "channelB.out[1]", Causality::output, Variability::continuous, Initial::calculated,
     "V[117]: channel B: copy of channelB.vector[1] (V[23])"},
    {186, "variables[118]", Causality::local, Variability::continuous, Initial::calculated,
     "V[118]: channel B: P[46] * V[22]"},
    {187, "channelB.out[2]", Causality::output, Variability::continuous, Initial::calculated,
     "V[119]: channel B: copy of channelB.vector[0] (V[22])"},
    {188, "variables[120]", Causality::local, Variability::continuous, Initial::calculated,
     "V[120]: channel B: -(V[23] / P[22])"},
    {189, "variables[121]", Causality::local, Variability::continuous, Initial::calculated,
     "V[121]: channel B: -(V[113] / P[22])"},
    {190, "channelB.out[3]", Causality::output, Variability::continuous, Initial::calculated,
     "V[122]: channel B: copy of channelB.vector[1] (V[23])"},
    {191, "channelB.out[4]", Causality::output, Variability::continuous, Initial::calculated,
     "V[123]: channel B: copy of channelB.vector[0] (V[22])"},
    {192, "variables[124]", Causality::local, Variability::continuous, Initial::calculated,
     "V[124]: channel B: -V[118]"},
    {193, "channelB.out[5]", Causality::output, Variability::continuous, Initial::calculated,
     "V[125]: channel B: copy of channelB.vector[0] (V[22])"},
    {194, "channelB.out[6]", Causality::output, Variability::continuous, Initial::calculated,
     "V[126]: channel B: copy of channelB.vector[0] (V[22])"},
    {195, "level.used", Causality::output, Variability::continuous, Initial::calculated,
     "V[127]: capacity less the level, P[0] - V[7]"},
    {196, "pose.angle", Causality::output, Variability::continuous, Initial::calculated,
     "V[128]: the angle S[7] + P[15] (pose vector element 3)"},
    {197, "pose.vector[0]", Causality::output, Variability::continuous, Initial::calculated,
     "V[129]: pose vector element 0: S[5] + P[13]"},
    {198, "pose.vector[1]", Causality::output, Variability::continuous, Initial::calculated,
     "V[130]: pose vector element 1: S[6] + P[14]"},
    {199, "pose.vector[2]", Causality::output, Variability::continuous, Initial::calculated,
     "V[131]: pose vector element 2: always 0"},
    {200, "channelA.quantised", Causality::output, Variability::continuous, Initial::calculated,
     "V[132]: channel A: (P[18] * S[8]) / (2 pi) rounded to a whole multiple of P[19], halves away from zero"},
    {201, "channelB.quantised", Causality::output, Variability::continuous, Initial::calculated,
     "V[133]: channel B: (P[18] * S[9]) / (2 pi) rounded to a whole multiple of P[20], halves away from zero"},
    {202, "channelB.quantisedState", Causality::output, Variability::continuous,
     Initial::calculated,
     "V[134]: channel B: the state S[9] that channelB.quantised is a multiple of"},
    {203, "channelA.input", Causality::input, Variability::continuous, Initial::noAttribute,
     "V[135]: channel A input: V[80] = V[135] * P[28]"},
    {204, "channelB.input", Causality::input, Variability::continuous, Initial::noAttribute,
     "V[136]: channel B input: V[93] = V[136] * P[37]"},
    {205, "channelA.quantisedState", Causality::output, Variability::continuous,
     Initial::calculated,
     "V[137]: channel A: the state S[8] that channelA.quantised is a multiple of"},
    {206, "level.integral[0]", Causality::local, Variability::continuous, Initial::calculated,
     "S[0]: integral of the constant rate R[0] = P[2]; latched into V[9]"},
    {207, "level.integral[1]", Causality::local, Variability::continuous, Initial::calculated,
     "S[1]: integral of the constant rate R[1]; latched into V[8]"},
    {208, "states[2]", Causality::local, Variability::continuous, Initial::calculated,
     "S[2]: its quotient by V[29] is the angle rate R[7]"},
    {209, "states[3]", Causality::local, Variability::continuous, Initial::calculated,
     "S[3]: first element of the 2-vector whose product with the inverse of V[31..34] is R[5..6]"},
    {210, "states[4]", Causality::local, Variability::continuous, Initial::calculated,
     "S[4]: second element of the 2-vector whose product with the inverse of V[31..34] is R[5..6]"},
    {211, "states[5]", Causality::local, Variability::continuous, Initial::calculated,
     "S[5]: first element of the 2-vector state S[5..6]; V[43] = S[5] + P[13]"},
    {212, "states[6]", Causality::local, Variability::continuous, Initial::calculated,
     "S[6]: second element of the 2-vector state S[5..6]; V[44] = S[6] + P[14]"},
    {213, "rotation.angleState", Causality::local, Variability::continuous, Initial::calculated,
     "S[7]: integrated part of the angle V[58] = S[7] + P[15]; rate R[7]"},
    {214, "states[8]", Causality::local, Variability::continuous, Initial::calculated,
     "S[8]: channel A: scaled into V[65] and quantised into V[66]"},
    {215, "states[9]", Causality::local, Variability::continuous, Initial::calculated,
     "S[9]: channel B: scaled into V[69] and quantised into V[70]"},
    {216, "channelA.integral", Causality::local, Variability::continuous, Initial::calculated,
     "S[10]: channel A integral, rate V[83] * V[74]; the level is reduced by it"},
    {217, "states[11]", Causality::local, Variability::continuous, Initial::calculated,
     "S[11]: channel A: V[74] = S[11] / P[24]"},
    {218, "states[12]", Causality::local, Variability::continuous, Initial::calculated,
     "S[12]: channel A: V[77] = (P[25] / P[26]) * S[12]"},
    {219, "channelB.integral", Causality::local, Variability::continuous, Initial::calculated,
     "S[13]: channel B integral, rate V[96] * V[87]; the level is reduced by it"},
    {220, "states[14]", Causality::local, Variability::continuous, Initial::calculated,
     "S[14]: channel B: V[87] = S[14] / P[33]"},
    {221, "states[15]", Causality::local, Variability::continuous, Initial::calculated,
     "S[15]: channel B: V[90] = (P[34] / P[35]) * S[15]"},
    {222, "states[16]", Causality::local, Variability::continuous, Initial::calculated,
     "S[16]: channel A: V[99] = S[16] / P[41]"},
    {223, "states[17]", Causality::local, Variability::continuous, Initial::calculated,
     "S[17]: channel A: R[8] = S[17] / P[42]"},
    {224, "states[18]", Causality::local, Variability::continuous, Initial::calculated,
     "S[18]: channel B: V[113] = S[18] / P[44]"},
    {225, "states[19]", Causality::local, Variability::continuous, Initial::calculated,
     "S[19]: channel B: R[9] = S[19] / P[45]"},
    {226, "rates[0]", Causality::local, Variability::tunable, Initial::calculated,
     "R[0]: rate of S[0], P[2]"},
    {227, "rates[1]", Causality::local, Variability::fixed, Initial::calculated,
     "R[1]: rate of S[1], P[1] times the sum of V[2..6]"},
    {228, "rates[2]", Causality::local, Variability::continuous, Initial::calculated,
     "R[2]: rate of S[2], V[26] + V[19]"},
    {229, "rates[3]", Causality::local, Variability::continuous, Initial::calculated,
     "R[3]: rate of S[3], V[37] - V[45]"},
    {230, "rates[4]", Causality::local, Variability::continuous, Initial::calculated,
     "R[4]: rate of S[4], V[38] - V[46]"},
    {231, "rates[5]", Causality::local, Variability::continuous, Initial::calculated,
     "R[5]: rate of S[5], first element of the inverse of V[31..34] times S[3..4]"},
    {232, "rates[6]", Causality::local, Variability::continuous, Initial::calculated,
     "R[6]: rate of S[6], second element of the inverse of V[31..34] times S[3..4]"},
    {233, "rates[7]", Causality::local, Variability::continuous, Initial::calculated,
     "R[7]: rate of S[7], S[2] / V[29]"},
    {234, "rates[8]", Causality::local, Variability::continuous, Initial::calculated,
     "R[8]: rate of S[8], S[17] / P[42]"},
    {235, "rates[9]", Causality::local, Variability::continuous, Initial::calculated,
     "R[9]: rate of S[9], S[19] / P[45]"},
    {236, "rates[10]", Causality::local, Variability::continuous, Initial::calculated,
     "R[10]: rate of S[10], V[83] * V[74]"},
    {237, "rates[11]", Causality::local, Variability::continuous, Initial::calculated,
     "R[11]: rate of S[11], V[83] - V[78] - V[81]"},
    {238, "rates[12]", Causality::local, Variability::continuous, Initial::calculated,
     "R[12]: rate of S[12], V[80] - R[8]"},
    {239, "rates[13]", Causality::local, Variability::continuous, Initial::calculated,
     "R[13]: rate of S[13], V[96] * V[87]"},
    {240, "rates[14]", Causality::local, Variability::continuous, Initial::calculated,
     "R[14]: rate of S[14], V[96] - V[91] - V[94]"},
    {241, "rates[15]", Causality::local, Variability::continuous, Initial::calculated,
     "R[15]: rate of S[15], V[93] - R[9]"},
    {242, "rates[16]", Causality::local, Variability::continuous, Initial::calculated,
     "R[16]: rate of S[16], R[8] - V[106]"},
    {243, "rates[17]", Causality::local, Variability::continuous, Initial::calculated,
     "R[17]: rate of S[17], V[82] - V[99]"},
    {244, "rates[18]", Causality::local, Variability::continuous, Initial::calculated,
     "R[18]: rate of S[18], R[9] - V[120]"},
    {245, "rates[19]", Causality::local, Variability::continuous, Initial::calculated,
     "R[19]: rate of S[19], V[95] - V[113]"},
    {246, "spare", Causality::local, Variability::continuous, Initial::calculated,
     "spare slot, not used by the model"},
};

// The equations read the two inputs as V[135] and V[136].
constexpr uint32_t kInputReferences[] = {kVariablesStart + 135, kVariablesStart + 136};
constexpr uint32_t kOutputCount = 23;

// A start value is declared for the constant, the parameters, the initial
// values and the inputs; calculated values carry none.
constexpr bool hasStartValue(const ModelVariable& variable) {
    return variable.initial == Initial::exact || variable.causality == Causality::input;
}

// The start value of a value reference: what experiment set-up loads (the
// constant, the parameter defaults, zero initial values) and zero inputs.
constexpr double startValue(uint32_t valueReference) {
    if (valueReference == kConstantsStart) {
        return kPi;
    }
    if (isParameterReference(valueReference)) {
        return kParameterDefaults[valueReference - kParametersStart];
    }
    return 0.0;
}

constexpr bool sameVariableName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Where a name is not in the table. Not constexpr, so that a constant
// expression looking up an unknown name does not compile.
inline uint32_t noSuchVariable() {
    return kModelDataSize;
}

// The value reference of the variable with this name: tests and tools name
// the values they use instead of writing their numbers, so that a variable
// inserted into the table cannot silently move them. Meant for constant
// expressions,
//   constexpr uint32_t kInputA = valueReferenceOf("channelA.input");
// where an unknown name stops the build; at run time an unknown name gives
// kModelDataSize, a value reference that every call refuses.
constexpr uint32_t valueReferenceOf(const char* name) {
    for (const ModelVariable& variable : kModelVariables) {
        if (sameVariableName(variable.name, name)) {
            return variable.valueReference;
        }
    }
    return noSuchVariable();
}

namespace model_variables_checks {

constexpr bool rowsInValueReferenceOrder() {
    for (uint32_t i = 0; i < kModelDataSize; ++i) {
        if (kModelVariables[i].valueReference != i) {
            return false;
        }
    }
    return true;
}

constexpr bool namesUnique() {
    for (uint32_t i = 0; i < kModelDataSize; ++i) {
        for (uint32_t j = i + 1; j < kModelDataSize; ++j) {
            if (sameVariableName(kModelVariables[i].name, kModelVariables[j].name)) {
                return false;
            }
        }
    }
    return true;
}

// The combinations a host accepts: a constant is an exact local, parameters
// are fixed or tunable and exact, inputs and outputs continuous, locals
// calculated.
constexpr bool combinationValid(const ModelVariable& v) {
    switch (v.causality) {
        case Causality::parameter:
            return (v.variability == Variability::fixed ||
                    v.variability == Variability::tunable) &&
                   v.initial == Initial::exact;
        case Causality::input:
            return v.variability == Variability::continuous && v.initial == Initial::noAttribute;
        case Causality::output:
            return v.variability == Variability::continuous && v.initial == Initial::calculated;
        case Causality::local:
            return v.variability == Variability::constant ? v.initial == Initial::exact
                                                          : v.initial == Initial::calculated;
    }
    return false;
}

// Sections as the model defines them: C[0] the one constant, P and IV the
// parameters (IV fixed), the inputs at V[135] and V[136], 23 outputs among the
// variables, states, rates and the spare slot local.
constexpr bool sectionsMatch() {
    uint32_t outputs = 0;
    for (uint32_t vr = 0; vr < kModelDataSize; ++vr) {
        const ModelVariable& v = kModelVariables[vr];
        if (!combinationValid(v)) {
            return false;
        }
        const bool constant = vr == kConstantsStart;
        const bool parameter = vr >= kParametersStart && vr < kVariablesStart;
        const bool input = vr == kInputReferences[0] || vr == kInputReferences[1];
        if (constant != (v.variability == Variability::constant) ||
            parameter != (v.causality == Causality::parameter) ||
            input != (v.causality == Causality::input)) {
            return false;
        }
        if (vr >= kInitialValuesStart && vr < kVariablesStart &&
            v.variability != Variability::fixed) {
            return false;
        }
        if (v.causality == Causality::output) {
            if (vr < kVariablesStart || vr >= kStatesStart) {
                return false;
            }
            ++outputs;
        }
    }
    return outputs == kOutputCount;
}

}  // namespace model_variables_checks

static_assert(sizeof(kModelVariables) / sizeof(kModelVariables[0]) == kModelDataSize,
              "one row per value reference");
static_assert(model_variables_checks::rowsInValueReferenceOrder(),
              "row i describes value reference i");
static_assert(model_variables_checks::namesUnique(), "every name appears once");
static_assert(model_variables_checks::sectionsMatch(),
              "causality, variability and initial follow the sections of the model data");
static_assert(valueReferenceOf("channelA.input") == kInputReferences[0] &&
                  valueReferenceOf("channelB.input") == kInputReferences[1],
              "the inputs' names stand where the equations read them");

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_VARIABLES_H
