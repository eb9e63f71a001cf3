// The model of one instance, as every boundary holds it: its state, which
// is all a snapshot keeps, and the scratch of its equations. Nothing here
// knows of a host or of an interface version.
#ifndef TARVO_RUNTIME_MODEL_H
#define TARVO_RUNTIME_MODEL_H

#include <cstdint>
#include <type_traits>

#include "equations/model_layout.h"

namespace tarvo::runtime {

// Value references index the model data: 0 to kValueCount - 1.
constexpr uint32_t kValueCount = equations::kModelDataSize;
using equations::kStateCount;

constexpr bool isParameterReference(uint32_t vr) {
    return vr - equations::kParametersStart < equations::kParameterCount;  // vr 0 wraps and fails
}

// Everything that makes the model's results: the experiment, the clock,
// the flags and the model data. Taking a snapshot copies it, restoring one
// copies it back; it holds no pointer, so a snapshot fits any instance.
struct ModelState {
    double startTime;  // kept for snapshots; the model never reads it
    double stopTime;
    double stepSize;     // the internal step, 1e-6
    double currentTime;  // the model's own clock
    int32_t stopTimeDefined;
    int32_t parametersChanged;  // a parameter was written since the last step
    int32_t evaluationCount;    // evaluations of the dynamic equations since initialisation
    equations::ModelValues values;
};

// The model of one instance. The scratch is not part of the state: every
// evaluation forms it anew from the model data, except that an inverse of a
// singular matrix leaves the last one in place, as this instance last had it.
struct Model {
    ModelState state;
    equations::EquationScratch scratch;
};

static_assert(std::is_trivially_copyable_v<ModelState> && std::is_standard_layout_v<ModelState>,
              "a snapshot is a byte copy of the state");
static_assert(std::is_trivially_copyable_v<Model> && std::is_standard_layout_v<Model>,
              "a model is set up by filling it with zeros");

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_H
