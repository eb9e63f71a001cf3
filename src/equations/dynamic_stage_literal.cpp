// The step entry points of the literal build: every evaluation is the whole
// literal evaluation, the reference that the fast ones are measured against.
#include "ieee/ieee_arithmetic.h"

#include "equations/equations.h"

namespace tarvo::equations {

void prepareStepInvariants(ModelValues& /*values*/, EquationScratch& /*scratch*/,
                           StepInvariants& /*invariants*/) {}

void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch,
                              const StepInvariants& /*invariants*/) {
    evaluateDynamicEquations(values, scratch);
}

void evaluateDynamicStage(ModelValues& values, EquationScratch& scratch,
                          const StepInvariants& /*invariants*/) {
    evaluateDynamicEquations(values, scratch);
}

}  // namespace tarvo::equations
