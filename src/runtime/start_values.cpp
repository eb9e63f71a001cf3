#include "ieee/ieee_arithmetic.h"

#include "runtime/start_values.h"

namespace tarvo::runtime {

void setStartValues(equations::ModelValues& values) {
    double* const P = values + equations::kParametersStart;
    double* const IV = values + equations::kInitialValuesStart;
    double* const S = values + equations::kStatesStart;
    values[equations::kConstantsStart] = kPi;
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        P[i] = kParameterDefaults[i];
    }
    for (uint32_t i = 0; i < kInitialValueCount; ++i) {
        IV[i] = 0.0;
    }
    // Provisional: initialisation copies the initial values in again.
    for (uint32_t i = 0; i < kStateCount; ++i) {
        S[i] = IV[i];
    }
}

}  // namespace tarvo::runtime
