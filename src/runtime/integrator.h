// The integrator behind the step driver, for the runtime alone: it hands the
// step invariants of the equations to every evaluation, and the layer above
// never sees them.
#ifndef TARVO_RUNTIME_INTEGRATOR_H
#define TARVO_RUNTIME_INTEGRATOR_H

#include <cstdint>
#include "equations/step_invariants.h"

#include "fmi2/model_instance.h"

namespace tarvo::runtime {

// Where the steps towards tEnd end: tEnd, or the stop time when one is
// defined and tEnd does not lie before it.
inline double stepTarget(bool stopTimeDefined, double stopTime, double tEnd) {
    return (stopTimeDefined && !(tEnd < stopTime)) ? stopTime : tEnd;
}

// The length of the step from t towards target: the step size, or what is
// left when that is less.
inline double stepLength(double target, double t, double stepSize) {
    return (target - t < stepSize) ? target - t : stepSize;
}

// One classical Runge-Kutta 4 step of at most stepSize towards targetTime;
// the invariants are those of the current parameters and inputs.
int rk4Step(ModelInstance& instance, double targetTime,
            const equations::StepInvariants& invariants);

// Of the steps runSteps takes from the current clock towards tEnd, all those
// that another step follows, in one go (none when the next step is the
// run's last); returns how many. The record is left as those steps leave
// it, but for what nothing reads: the integrator's work area and the
// variables that the run's last step, a full doModelStep, writes anew.
uint32_t takeInnerSteps(ModelInstance& instance, double tEnd,
                        const equations::StepInvariants& invariants);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_INTEGRATOR_H
