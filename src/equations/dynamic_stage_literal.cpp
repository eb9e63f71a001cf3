// The step entry points of the literal build: every evaluation is the whole
// literal evaluation, the reference that the fast ones are measured against.
#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"

namespace tarvo::equations {

void prepareStepInvariants(ModelInstance& /*instance*/, StepInvariants& /*invariants*/) {}

void evaluateDynamicEquations(ModelInstance& instance, const StepInvariants& /*invariants*/) {
    evaluateDynamicEquations(instance);
}

void evaluateDynamicStage(ModelInstance& instance, const StepInvariants& /*invariants*/) {
    evaluateDynamicEquations(instance);
}

}  // namespace tarvo::equations
