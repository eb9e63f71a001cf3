// The function tables of the FMI versions the unit exports, for every
// host-side program: the tools, the benchmark and the tests drive the unit
// linked in or loaded (unit_library.h) through the same table. FMI 2.0's
// 35 functions today; another version's table stands beside it with a list
// of its own, and leaves this one and its users as they are.
#ifndef TARVO_TOOLS_HOST_FMI_API_H
#define TARVO_TOOLS_HOST_FMI_API_H

#include "fmi2/fmi2_functions.h"

namespace tarvo::host {

#define TARVO_FMI2_EXPORTS(X)       \
    X(fmi2GetTypesPlatform)         \
    X(fmi2GetVersion)               \
    X(fmi2SetDebugLogging)          \
    X(fmi2Instantiate)              \
    X(fmi2FreeInstance)             \
    X(fmi2SetupExperiment)          \
    X(fmi2EnterInitializationMode)  \
    X(fmi2ExitInitializationMode)   \
    X(fmi2Terminate)                \
    X(fmi2Reset)                    \
    X(fmi2GetReal)                  \
    X(fmi2GetInteger)               \
    X(fmi2GetBoolean)               \
    X(fmi2GetString)                \
    X(fmi2SetReal)                  \
    X(fmi2SetInteger)               \
    X(fmi2SetBoolean)               \
    X(fmi2SetString)                \
    X(fmi2GetFMUstate)              \
    X(fmi2SetFMUstate)              \
    X(fmi2FreeFMUstate)             \
    X(fmi2SerializedFMUstateSize)   \
    X(fmi2SerializeFMUstate)        \
    X(fmi2DeSerializeFMUstate)      \
    X(fmi2GetDirectionalDerivative) \
    X(fmi2GetContinuousStates)      \
    X(fmi2SetRealInputDerivatives)  \
    X(fmi2GetRealOutputDerivatives) \
    X(fmi2DoStep)                   \
    X(fmi2CancelStep)               \
    X(fmi2GetStatus)                \
    X(fmi2GetRealStatus)            \
    X(fmi2GetIntegerStatus)         \
    X(fmi2GetBooleanStatus)         \
    X(fmi2GetStringStatus)

// Null where the library lacks the function.
struct Fmi2Api {
#define TARVO_FMI2_MEMBER(name) name##TYPE* name = nullptr;
    TARVO_FMI2_EXPORTS(TARVO_FMI2_MEMBER)
#undef TARVO_FMI2_MEMBER
};

constexpr const char* kFmi2ExportNames[] = {
#define TARVO_FMI2_NAME(name) #name,
    TARVO_FMI2_EXPORTS(TARVO_FMI2_NAME)
#undef TARVO_FMI2_NAME
};
constexpr int kFmi2ExportCount = sizeof kFmi2ExportNames / sizeof kFmi2ExportNames[0];
static_assert(kFmi2ExportCount == 35, "the unit exports exactly 35 FMI 2.0 functions");

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_FMI_API_H
