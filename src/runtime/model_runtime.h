// The model runtime's entry points for the fmi layer: start values,
// initialisation, one internal step with its outputs, termination.
// Routines that report return 1 on success.
#ifndef TARVO_RUNTIME_MODEL_RUNTIME_H
#define TARVO_RUNTIME_MODEL_RUNTIME_H

#include "equations/equations.h"
#include "fmi/model_instance.h"

namespace tarvo::runtime {

// Points the six section pointers at the record's own modelData.
void bindSections(ModelInstance& instance);

// pi, the parameter defaults, zero initial values copied into the states,
// and the matrix views.
void setStartValues(ModelInstance& instance);

int initializeModel(ModelInstance& instance);

// One internal step from time towards targetTime, then the outputs.
int doModelStep(ModelInstance& instance, double time, double targetTime);

// The internal steps of one communication step, as a run: begin it right
// before the first step, make each step with it, and end it after the last.
// Parameters and inputs cannot change in between, so what the equations
// take from them alone is gathered once per run; and the outputs, which
// nothing but the host reads, are brought up to date once, at its end. The
// values a host then reads are those of one doModelStep per step.
struct StepRun {
    equations::StepInvariants invariants;
};
void beginStepRun(ModelInstance& instance, StepRun& run);
int doModelStep(ModelInstance& instance, double time, double targetTime, const StepRun& run);
void endStepRun(ModelInstance& instance);

int terminateModel(ModelInstance& instance, double time);
int clearWorkArea(ModelInstance& instance);
void preStepHook(ModelInstance& instance);

// One classical Runge-Kutta 4 step of at most stepSize towards targetTime;
// the invariants are those of the current parameters and inputs.
int rk4Step(ModelInstance& instance, double targetTime,
            const equations::StepInvariants& invariants);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_RUNTIME_H
