// The Runge-Kutta 4 integrator behind the step driver, for the runtime
// alone: it hands the step invariants of the equations to every
// evaluation, and the boundaries never see them.
#ifndef TARVO_RUNTIME_INTEGRATOR_H
#define TARVO_RUNTIME_INTEGRATOR_H

#include <cstdint>

#include "equations/step_invariants.h"
#include "runtime/model.h"
#include "runtime/step_run.h"

namespace tarvo::runtime {

// Adds count evaluations of the dynamic equations to the state's count.
void countEvaluations(ModelState& state, uint32_t count);

// One classical Runge-Kutta 4 step from the clock towards the run's target,
// of the run's step size or what is left; the invariants are those of the
// current parameters and inputs.
void rk4Step(Model& model, const StepRun& run, const equations::StepInvariants& invariants);

// Of the steps of a run, all those that another step follows, in one go
// (none when the next step is the run's last). The model is left as those
// steps leave it, but for what nothing reads: the variables that the run's
// last step, an rk4Step, writes anew.
void takeInnerSteps(Model& model, const StepRun& run,
                    const equations::StepInvariants& invariants);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_INTEGRATOR_H
