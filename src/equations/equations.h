// The generated equations of Tarvo_Unit, on one instance's model data and
// equation scratch. Evaluations do not count themselves: the runtime does.
#ifndef TARVO_EQUATIONS_EQUATIONS_H
#define TARVO_EQUATIONS_EQUATIONS_H

#include "equations/model_layout.h"
#include "equations/step_invariants.h"

namespace tarvo::equations {

// Once per initialisation: fixed quantities from the parameters, the
// pattern chosen by P[21], R[1], and the initial values copied into the states.
void evaluateInitialEquations(ModelValues& values);

// At initialisation and after a parameter write: R[0], the row vectors and
// the quantisation half-steps.
void evaluateParameterEquations(ModelValues& values);

// The derivative function: rates R[2..19] and most variables.
void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch);

// Gathers the invariants of the current parameters and inputs (and brings
// T2 up to date).
void prepareStepInvariants(ModelValues& values, EquationScratch& scratch,
                           StepInvariants& invariants);

// The derivative function within a Runge-Kutta step whose invariants are
// prepared: the same as evaluateDynamicEquations.
void evaluateDynamicEquations(ModelValues& values, EquationScratch& scratch,
                              const StepInvariants& invariants);

// The derivative function at an intermediate Runge-Kutta stage: the rates
// R[2..19] and the values the next evaluation reads back (the level latch
// V[7..9], the triple V[12..14]), the same bits as evaluateDynamicEquations.
// Variables that neither needs may be left as they were: the step's closing
// evaluation is a full one.
void evaluateDynamicStage(ModelValues& values, EquationScratch& scratch,
                          const StepInvariants& invariants);

// Copies states and results into the 23 output variables.
void evaluateOutputEquations(ModelValues& values);

}  // namespace tarvo::equations

#endif  // TARVO_EQUATIONS_EQUATIONS_H
