// The instance behind a host's handle, and the state a fresh instance starts in.
#ifndef TARVO_FMI_INSTANCE_STATE_H
#define TARVO_FMI_INSTANCE_STATE_H

#include "fmi2/fmi2_functions.h"
#include "fmi2/model_instance.h"

namespace tarvo::fmi {

// Internal step of the fixed-step integrator.
constexpr double kInternalStepSize = 1e-6;

inline ModelInstance* toModelInstance(fmi2Component component) {
    return static_cast<ModelInstance*>(component);
}

// Puts every field into its state right after instantiation (zero data,
// clock 0, flags as at creation, section pointers and matrix views built),
// keeping only what the instance owns or borrows: the callback record, the
// name copy and the resource path. Used by fmi2Instantiate and fmi2Reset.
void enterInstantiationState(ModelInstance& instance);

}  // namespace tarvo::fmi

#endif  // TARVO_FMI_INSTANCE_STATE_H
