// The generated equations of Tarvo_Unit.
#ifndef TARVO_EQUATIONS_EQUATIONS_H
#define TARVO_EQUATIONS_EQUATIONS_H

#include "equations/step_invariants.h"
#include "fmi2/model_instance.h"

namespace tarvo::equations {

// Fills matrixViews from the section pointers and the matrix storage.
void setupMatrixViews(ModelInstance& instance);

// Once per initialisation: fixed quantities from the parameters, the
// pattern chosen by P[21], R[1], and the initial values copied into the states.
void evaluateInitialEquations(ModelInstance& instance);

// At initialisation and after a parameter write: R[0], the row vectors and
// the quantisation half-steps.
void evaluateParameterEquations(ModelInstance& instance);

// The derivative function: rates R[2..19] and most variables.
void evaluateDynamicEquations(ModelInstance& instance);

// Gathers the invariants of the current parameters and inputs (and brings
// T2 up to date).
void prepareStepInvariants(ModelInstance& instance, StepInvariants& invariants);

// The derivative function within a Runge-Kutta step whose invariants are
// prepared: the same as evaluateDynamicEquations.
void evaluateDynamicEquations(ModelInstance& instance, const StepInvariants& invariants);

// The derivative function at an intermediate Runge-Kutta stage: the rates
// R[2..19], the values the next evaluation reads back (the level latch
// V[7..9], the triple V[12..14]) and evaluationCount, the same bits as
// evaluateDynamicEquations. Variables that neither needs may be left as
// they were: the step's closing evaluation is a full one.
void evaluateDynamicStage(ModelInstance& instance, const StepInvariants& invariants);

// Copies states and results into the 23 output variables.
void evaluateOutputEquations(ModelInstance& instance);

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_EQUATIONS_H
