// The model runtime's entry points for the fmi layer: the record's sections
// and views, start values, initialisation, the parameter update, the
// internal steps of a communication step, termination. The fmi layer calls
// nothing below the runtime. Routines that report return 1 on success.
#ifndef TARVO_RUNTIME_MODEL_RUNTIME_H
#define TARVO_RUNTIME_MODEL_RUNTIME_H

#include <cstdint>

#include "fmi2/model_instance.h"

namespace tarvo::runtime {

// Points the six section pointers at the record's own modelData.
void bindSections(ModelInstance& instance);

// The section pointers as bindSections sets them, and the matrix views on
// those sections and the matrix storage: a record evaluated before set-up
// then works on its zero data instead of through null views.
void bindSectionsAndViews(ModelInstance& instance);

// pi, the parameter defaults, zero initial values copied into the states,
// and the matrix views.
void setStartValues(ModelInstance& instance);

int initializeModel(ModelInstance& instance);

// After a parameter write: the parameter-dependent equations again (R[0],
// the row vectors and the quantisation half-steps).
void updateParameterDependents(ModelInstance& instance);

// One internal step from time towards targetTime, then the outputs.
int doModelStep(ModelInstance& instance, double time, double targetTime);

// The internal steps of one communication step, as fmi2DoStep takes them:
// while the clock is before tEnd, one doModelStep after another, unless the
// stop time is defined and reached or a stop was requested; a step that
// fails or leaves the clock where it was ends the run as well. Parameters
// and inputs cannot change in between, so what the equations take from
// them alone is gathered once per run; and the outputs, which nothing but
// the host reads, are brought up to date once, after the last step. The
// values a host then reads are those of one doModelStep per step.
enum class StepRunEnd {
    reachedEnd,       // the clock is at tEnd (or past it: nothing to do)
    stopTimeReached,  // the clock is at or past the defined stop time
    refused,          // a stop was requested, or a step failed or stalled
};
StepRunEnd runSteps(ModelInstance& instance, double tEnd);

// A value as an integer: truncated toward zero, the most negative int32 for
// NaN, infinities and values outside the int32 range, as the equations
// truncate.
int32_t integerOf(double value);

int terminateModel(ModelInstance& instance, double time);
int clearWorkArea(ModelInstance& instance);
void preStepHook(ModelInstance& instance);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_RUNTIME_H
