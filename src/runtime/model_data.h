// The model data area: 247 doubles addressed by value reference, in six
// consecutive sections plus one spare slot, and the integrator's work area.
#ifndef TARVO_RUNTIME_MODEL_DATA_H
#define TARVO_RUNTIME_MODEL_DATA_H

#include <cstdint>

namespace tarvo::runtime {

constexpr uint32_t kConstantCount = 1;
constexpr uint32_t kParameterCount = 47;
constexpr uint32_t kInitialValueCount = 20;
constexpr uint32_t kVariableCount = 138;
constexpr uint32_t kStateCount = 20;
constexpr uint32_t kRateCount = 20;

// Value reference of the first element of each section.
constexpr uint32_t kConstantsStart = 0;
constexpr uint32_t kParametersStart = kConstantsStart + kConstantCount;         // 1
constexpr uint32_t kInitialValuesStart = kParametersStart + kParameterCount;    // 48
constexpr uint32_t kVariablesStart = kInitialValuesStart + kInitialValueCount;  // 68
constexpr uint32_t kStatesStart = kVariablesStart + kVariableCount;             // 206
constexpr uint32_t kRatesStart = kStatesStart + kStateCount;                    // 226
constexpr uint32_t kSpareSlot = kRatesStart + kRateCount;                       // 246
constexpr uint32_t kModelDataSize = kSpareSlot + 1;                             // 247

static_assert(kModelDataSize == 247, "the value-reference map covers 0..246");

constexpr bool isParameterReference(uint32_t vr) {
    return vr - kParametersStart < kParameterCount;  // unsigned: vr 0 wraps and fails
}

// Runge-Kutta work area: the states at the start of a step and the four
// stage increments.
struct RkWork {
    double savedStates[kStateCount];
    double k1[kStateCount];
    double k2[kStateCount];
    double k3[kStateCount];
    double k4[kStateCount];
};

static_assert(sizeof(RkWork) == 100 * sizeof(double), "five arrays of 20 doubles, no gaps");

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_DATA_H
