// The record behind an fmi2Component: the one data contract of the unit.
// Every subsystem works on this record, and it is the only header of the fmi
// layer that the runtime and the equations include. It declares the record
// and nothing with behaviour, so it includes only what the fields are made
// of: the FMI types (the host's callback record), the layout of the model
// data and the integrator's work area, and the matrix views and storage
// sizes. Only the fmi layer touches the host's callbacks. The field order is
// fixed: value references index modelData, and snapshots copy the record as
// one block.
#ifndef TARVO_FMI_MODEL_INSTANCE_H
#define TARVO_FMI_MODEL_INSTANCE_H

#include <cstdint>
#include <type_traits>

#include "equations/matrix_views.h"
#include "fmi2/fmi2_types.h"
#include "runtime/model_data.h"

namespace tarvo {

struct ModelInstance {
    const fmi2CallbackFunctions* functions;  // the host's record, kept by reference
    char* instanceName;                      // owned copy
    char* resourcePath;                      // owned, or null
    double startTime;
    double stopTime;
    int32_t stopTimeDefined;
    double stepSize;     // internal integration step
    double currentTime;  // the model's own clock
    int32_t evaluationCount;
    int32_t initialPhase;
    int32_t majorStep;
    int32_t stopRequested;
    int32_t parametersChanged;
    int32_t initializationRunning;
    double modelData[runtime::kModelDataSize];
    equations::MatrixViews matrixViews;
    double matrixStorage[equations::kMatrixStorageSize];
    double inverseWorkspace[equations::kInverseWorkspaceSize];
    runtime::RkWork rkWork;
    // Section pointers into this record's own modelData.
    double* constants;
    double* parameters;
    double* initialValues;
    double* variables;
    double* states;
    double* rates;
};

static_assert(std::is_trivially_copyable_v<ModelInstance>,
              "the record is zero-filled and copied as bytes by snapshots");
static_assert(std::is_standard_layout_v<ModelInstance>, "the field order is the memory order");

}  // namespace tarvo

#endif  // TARVO_FMI_MODEL_INSTANCE_H
