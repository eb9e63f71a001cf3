// Where the internal steps of one communication step go: the one place
// that says how a run of steps ends, at the end of the communication step
// or at a defined stop time, and how long each step is.
#ifndef TARVO_RUNTIME_STEP_RUN_H
#define TARVO_RUNTIME_STEP_RUN_H

#include "runtime/model.h"

namespace tarvo::runtime {

struct StepRun {
    double end;     // the end of the communication step
    double target;  // where the last step ends: end, or the stop time before it
    double stopTime;
    double stepSize;
    bool stopTimeDefined;
};

// The run towards stepEnd from the state's clock. Hosts compute
// communication points as start + n step, so the last step of an
// experiment may end a few units in the last place beyond the stop time:
// such an end counts as the stop time itself.
StepRun planStepRun(const ModelState& state, double stepEnd);

// Whether the clock at t has reached the defined stop time: no step may
// start there.
inline bool stopTimeReached(const StepRun& run, double t) {
    return run.stopTimeDefined && t >= run.stopTime;
}

// The length of the step from t: the step size, or what is left to the
// target when that is less.
inline double stepLength(const StepRun& run, double t) {
    return (run.target - t < run.stepSize) ? run.target - t : run.stepSize;
}

// Whether another step follows the one from t to next: next short of the
// end and of the stop time, and the clock moved.
inline bool anotherStepFollows(const StepRun& run, double t, double next) {
    return run.end > next && !stopTimeReached(run, next) && next > t;
}

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_STEP_RUN_H
