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

// Of the steps runSteps takes from the current clock towards tEnd, all those
// that another step follows, in one go (none when the next step is the
// run's last); returns how many. The record is left as those steps leave
// it, but for what nothing reads: the integrator's work area and the
// variables that the run's last step, a full doModelStep, writes anew.
uint32_t takeInnerSteps(ModelInstance& instance, double tEnd,
                        const equations::StepInvariants& invariants);

int terminateModel(ModelInstance& instance, double time);
int clearWorkArea(ModelInstance& instance);
void preStepHook(ModelInstance& instance);

// One classical Runge-Kutta 4 step of at most stepSize towards targetTime;
// the invariants are those of the current parameters and inputs.
int rk4Step(ModelInstance& instance, double targetTime,
            const equations::StepInvariants& invariants);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_RUNTIME_H
