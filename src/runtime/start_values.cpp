#include "ieee/ieee_arithmetic.h"

#include "runtime/start_values.h"

#include "equations/equations.h"
#include "runtime/model_runtime.h"

namespace tarvo::runtime {

void bindSections(ModelInstance& instance) {
    double* data = instance.modelData;
    instance.constants = data + kConstantsStart;
    instance.parameters = data + kParametersStart;
    instance.initialValues = data + kInitialValuesStart;
    instance.variables = data + kVariablesStart;
    instance.states = data + kStatesStart;
    instance.rates = data + kRatesStart;
}

void bindSectionsAndViews(ModelInstance& instance) {
    bindSections(instance);
    equations::setupMatrixViews(instance);
}

void setStartValues(ModelInstance& instance) {
    instance.constants[0] = kPi;
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        instance.parameters[i] = kParameterDefaults[i];
    }
    for (uint32_t i = 0; i < kInitialValueCount; ++i) {
        instance.initialValues[i] = 0.0;
    }
    // Provisional: initialisation copies the initial values in again.
    for (uint32_t i = 0; i < kStateCount; ++i) {
        instance.states[i] = instance.initialValues[i];
    }
    equations::setupMatrixViews(instance);
}

}  // namespace tarvo::runtime
