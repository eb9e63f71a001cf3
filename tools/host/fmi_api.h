// The function tables of the FMI versions the unit exports, for every
// host-side program: the tools, the benchmark and the tests drive the unit
// linked in or loaded (unit_library.h) through the same table. FMI 2.0's 35
// functions and FMI 3.0's 75, each version with a list of its own.
#ifndef TARVO_TOOLS_HOST_FMI_API_H
#define TARVO_TOOLS_HOST_FMI_API_H

#include "fmi2/fmi2_functions.h"
#include "fmi3/fmi3_functions.h"

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

// Every function of the FMI 3.0 interface, in the order of its
// declarations: the FMI 3.0 unit exports them all.
#define TARVO_FMI3_EXPORTS(X)              \
    X(fmi3GetVersion)                      \
    X(fmi3SetDebugLogging)                 \
    X(fmi3InstantiateModelExchange)        \
    X(fmi3InstantiateCoSimulation)         \
    X(fmi3InstantiateScheduledExecution)   \
    X(fmi3FreeInstance)                    \
    X(fmi3EnterInitializationMode)         \
    X(fmi3ExitInitializationMode)          \
    X(fmi3EnterEventMode)                  \
    X(fmi3Terminate)                       \
    X(fmi3Reset)                           \
    X(fmi3GetFloat32)                      \
    X(fmi3GetFloat64)                      \
    X(fmi3GetInt8)                         \
    X(fmi3GetUInt8)                        \
    X(fmi3GetInt16)                        \
    X(fmi3GetUInt16)                       \
    X(fmi3GetInt32)                        \
    X(fmi3GetUInt32)                       \
    X(fmi3GetInt64)                        \
    X(fmi3GetUInt64)                       \
    X(fmi3GetBoolean)                      \
    X(fmi3GetString)                       \
    X(fmi3GetBinary)                       \
    X(fmi3GetClock)                        \
    X(fmi3SetFloat32)                      \
    X(fmi3SetFloat64)                      \
    X(fmi3SetInt8)                         \
    X(fmi3SetUInt8)                        \
    X(fmi3SetInt16)                        \
    X(fmi3SetUInt16)                       \
    X(fmi3SetInt32)                        \
    X(fmi3SetUInt32)                       \
    X(fmi3SetInt64)                        \
    X(fmi3SetUInt64)                       \
    X(fmi3SetBoolean)                      \
    X(fmi3SetString)                       \
    X(fmi3SetBinary)                       \
    X(fmi3SetClock)                        \
    X(fmi3GetNumberOfVariableDependencies) \
    X(fmi3GetVariableDependencies)         \
    X(fmi3GetFMUState)                     \
    X(fmi3SetFMUState)                     \
    X(fmi3FreeFMUState)                    \
    X(fmi3SerializedFMUStateSize)          \
    X(fmi3SerializeFMUState)               \
    X(fmi3DeserializeFMUState)             \
    X(fmi3GetDirectionalDerivative)        \
    X(fmi3GetAdjointDerivative)            \
    X(fmi3EnterConfigurationMode)          \
    X(fmi3ExitConfigurationMode)           \
    X(fmi3GetIntervalDecimal)              \
    X(fmi3GetIntervalFraction)             \
    X(fmi3GetShiftDecimal)                 \
    X(fmi3GetShiftFraction)                \
    X(fmi3SetIntervalDecimal)              \
    X(fmi3SetIntervalFraction)             \
    X(fmi3SetShiftDecimal)                 \
    X(fmi3SetShiftFraction)                \
    X(fmi3EvaluateDiscreteStates)          \
    X(fmi3UpdateDiscreteStates)            \
    X(fmi3EnterContinuousTimeMode)         \
    X(fmi3CompletedIntegratorStep)         \
    X(fmi3SetTime)                         \
    X(fmi3SetContinuousStates)             \
    X(fmi3GetContinuousStateDerivatives)   \
    X(fmi3GetEventIndicators)              \
    X(fmi3GetContinuousStates)             \
    X(fmi3GetNominalsOfContinuousStates)   \
    X(fmi3GetNumberOfEventIndicators)      \
    X(fmi3GetNumberOfContinuousStates)     \
    X(fmi3EnterStepMode)                   \
    X(fmi3GetOutputDerivatives)            \
    X(fmi3DoStep)                          \
    X(fmi3ActivateModelPartition)

// Null where the library lacks the function.
struct Fmi3Api {
#define TARVO_FMI3_MEMBER(name) name##TYPE* name = nullptr;
    TARVO_FMI3_EXPORTS(TARVO_FMI3_MEMBER)
#undef TARVO_FMI3_MEMBER
};

constexpr const char* kFmi3ExportNames[] = {
#define TARVO_FMI3_NAME(name) #name,
    TARVO_FMI3_EXPORTS(TARVO_FMI3_NAME)
#undef TARVO_FMI3_NAME
};
constexpr int kFmi3ExportCount = sizeof kFmi3ExportNames / sizeof kFmi3ExportNames[0];
static_assert(kFmi3ExportCount == 75, "the FMI 3.0 interface has exactly 75 functions");

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_FMI_API_H
