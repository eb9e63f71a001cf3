// The model runtime's entry points for the boundaries: a fresh model,
// experiment set-up, initialisation, values by value reference and the
// communication step. Each reports in the model's own terms; a boundary
// turns that into its interface's statuses and messages.
#ifndef TARVO_RUNTIME_MODEL_RUNTIME_H
#define TARVO_RUNTIME_MODEL_RUNTIME_H

#include <cstdint>

#include "runtime/model.h"

namespace tarvo::runtime {

// The state of a new instance: all zero but the internal step of 1e-6.
void resetModel(Model& model);

// Records the experiment's times. Only a stop time given with
// stopTimeDefined exactly 1 is taken; once defined it is never withdrawn. A
// NaN stop time is refused and changes nothing: no step could be held to
// it. Returns whether the experiment was taken.
bool takeExperiment(Model& model, double startTime, int32_t stopTimeDefined, double stopTime);

// Loads the start values: pi, the parameter defaults, zero initial values
// copied into the states. Variables keep their values.
void loadStartValues(Model& model);

// Brings the model data into its initial state from the start values,
// parameters and inputs as written: initial, parameter-dependent, dynamic
// and output equations. The clock stays where it is.
void initializeModel(Model& model);

inline bool isValueReference(uint32_t vr) {
    return vr < kValueCount;
}

inline double valueAt(const Model& model, uint32_t vr) {
    return model.state.values[vr];
}

// A written parameter marks the model, so that the next step brings the
// parameter-dependent quantities up to date first.
void setValue(Model& model, uint32_t vr, double value);

// A value as an integer: truncated toward zero, the most negative int32 for
// NaN, infinities and values outside the int32 range, as the equations
// truncate.
int32_t integerOf(double value);

inline const double* statesOf(const Model& model) {
    return model.state.values + equations::kStatesStart;
}

// How a communication step ended.
enum class StepEnd {
    reachedEnd,   // the clock is at the step's end (or was past it: nothing to do)
    invalidStep,  // a communication point, step size or end that is not finite: nothing changed
    stopTimeReached,  // the clock is at the defined stop time, short of the step's end
    stalled,          // a step left the clock where it was
};

// The communication step from communicationPoint over stepSize. The model
// keeps its own clock: the communication point only serves to compute the
// end. A step size of exactly 0 does nothing at all; otherwise a written
// parameter is brought up to date first, then the internal steps of 1e-6
// run from the clock to the end, or to the stop time before it. After
// them the outputs match the states.
StepEnd doStep(Model& model, double communicationPoint, double stepSize);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_RUNTIME_H
