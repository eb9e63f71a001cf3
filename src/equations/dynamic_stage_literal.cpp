// The stage evaluation of the literal build: the whole literal evaluation,
// the reference that the fast stage evaluation is measured against.
#include "equations/equations.h"

namespace tarvo::equations {

void evaluateDynamicStage(ModelInstance& instance) { evaluateDynamicEquations(instance); }

}  // namespace tarvo::equations
