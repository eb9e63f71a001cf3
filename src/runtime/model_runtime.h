// The model runtime's entry points for the fmi layer: start values,
// initialisation, one internal step with its outputs, termination.
// Routines that report return 1 on success.
#ifndef TARVO_RUNTIME_MODEL_RUNTIME_H
#define TARVO_RUNTIME_MODEL_RUNTIME_H

#include "fmi/model_instance.h"

namespace tarvo::runtime {

// Points the six section pointers at the record's own modelData.
void bindSections(ModelInstance& instance);

// pi, the parameter defaults, zero initial values copied into the states,
// and the matrix views.
void setStartValues(ModelInstance& instance);

int initializeModel(ModelInstance& instance);
int doModelStep(ModelInstance& instance, double time, double targetTime);
int terminateModel(ModelInstance& instance, double time);
int clearWorkArea(ModelInstance& instance);
void preStepHook(ModelInstance& instance);

// One classical Runge-Kutta 4 step of at most stepSize towards targetTime.
int rk4Step(ModelInstance& instance, double targetTime);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_RUNTIME_H
