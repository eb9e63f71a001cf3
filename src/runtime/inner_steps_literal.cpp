// The reference build takes every internal step through rk4Step, as the
// step driver describes it: no inner steps of its own.
#include "ieee/ieee_arithmetic.h"

#include "runtime/integrator.h"

namespace tarvo::runtime {

void takeInnerSteps(Model& /*model*/, const StepRun& /*run*/,
                    const equations::StepInvariants& /*invariants*/) {}

}  // namespace tarvo::runtime
