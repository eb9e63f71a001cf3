// The integrator behind the step driver, for the runtime alone: it hands the
// step invariants of the equations to every evaluation, and the layer above
// never sees them.
#ifndef TARVO_RUNTIME_INTEGRATOR_H
#define TARVO_RUNTIME_INTEGRATOR_H

#include "equations/step_invariants.h"
#include "fmi/model_instance.h"

namespace tarvo::runtime {

// One classical Runge-Kutta 4 step of at most stepSize towards targetTime;
// the invariants are those of the current parameters and inputs.
int rk4Step(ModelInstance& instance, double targetTime,
            const equations::StepInvariants& invariants);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_INTEGRATOR_H
