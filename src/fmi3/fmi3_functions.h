// The function types and the exported functions of the FMI 3.0 interface,
// all 75 of them, declared as the published FMI 3.0 standard defines them,
// over the types of fmi3_types.h. Hosts bind to these names and signatures,
// so nothing here may change.
#ifndef TARVO_FMI3_FUNCTIONS_H
#define TARVO_FMI3_FUNCTIONS_H

#include <stddef.h>

#include "fmi3/fmi3_types.h"

#ifdef __cplusplus
extern "C" {
#endif

// Function types, as a host resolves them by name.
typedef const char* fmi3GetVersionTYPE(void);
typedef fmi3Status fmi3SetDebugLoggingTYPE(fmi3Instance instance, fmi3Boolean loggingOn,
                                           size_t nCategories, const fmi3String categories[]);
typedef fmi3Instance fmi3InstantiateModelExchangeTYPE(fmi3String instanceName,
                                                      fmi3String instantiationToken,
                                                      fmi3String resourcePath,
                                                      fmi3Boolean visible, fmi3Boolean loggingOn,
                                                      fmi3InstanceEnvironment instanceEnvironment,
                                                      fmi3LogMessageCallback logMessage);
typedef fmi3Instance fmi3InstantiateCoSimulationTYPE(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String resourcePath,
    fmi3Boolean visible, fmi3Boolean loggingOn, fmi3Boolean eventModeUsed,
    fmi3Boolean earlyReturnAllowed, const fmi3ValueReference requiredIntermediateVariables[],
    size_t nRequiredIntermediateVariables, fmi3InstanceEnvironment instanceEnvironment,
    fmi3LogMessageCallback logMessage, fmi3IntermediateUpdateCallback intermediateUpdate);
typedef fmi3Instance fmi3InstantiateScheduledExecutionTYPE(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String resourcePath,
    fmi3Boolean visible, fmi3Boolean loggingOn, fmi3InstanceEnvironment instanceEnvironment,
    fmi3LogMessageCallback logMessage, fmi3ClockUpdateCallback clockUpdate,
    fmi3LockPreemptionCallback lockPreemption, fmi3UnlockPreemptionCallback unlockPreemption);
typedef void fmi3FreeInstanceTYPE(fmi3Instance instance);
typedef fmi3Status fmi3EnterInitializationModeTYPE(fmi3Instance instance,
                                                   fmi3Boolean toleranceDefined,
                                                   fmi3Float64 tolerance, fmi3Float64 startTime,
                                                   fmi3Boolean stopTimeDefined,
                                                   fmi3Float64 stopTime);
typedef fmi3Status fmi3ExitInitializationModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3EnterEventModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3TerminateTYPE(fmi3Instance instance);
typedef fmi3Status fmi3ResetTYPE(fmi3Instance instance);
typedef fmi3Status fmi3GetFloat32TYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, fmi3Float32 values[],
                                      size_t nValues);
typedef fmi3Status fmi3GetFloat64TYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, fmi3Float64 values[],
                                      size_t nValues);
typedef fmi3Status fmi3GetInt8TYPE(fmi3Instance instance,
                                   const fmi3ValueReference valueReferences[],
                                   size_t nValueReferences, fmi3Int8 values[], size_t nValues);
typedef fmi3Status fmi3GetUInt8TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3UInt8 values[], size_t nValues);
typedef fmi3Status fmi3GetInt16TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3Int16 values[], size_t nValues);
typedef fmi3Status fmi3GetUInt16TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, fmi3UInt16 values[],
                                     size_t nValues);
typedef fmi3Status fmi3GetInt32TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3Int32 values[], size_t nValues);
typedef fmi3Status fmi3GetUInt32TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, fmi3UInt32 values[],
                                     size_t nValues);
typedef fmi3Status fmi3GetInt64TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3Int64 values[], size_t nValues);
typedef fmi3Status fmi3GetUInt64TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, fmi3UInt64 values[],
                                     size_t nValues);
typedef fmi3Status fmi3GetBooleanTYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, fmi3Boolean values[],
                                      size_t nValues);
typedef fmi3Status fmi3GetStringTYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, fmi3String values[],
                                     size_t nValues);
typedef fmi3Status fmi3GetBinaryTYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, size_t valueSizes[],
                                     fmi3Binary values[], size_t nValues);
typedef fmi3Status fmi3GetClockTYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3Clock values[]);
typedef fmi3Status fmi3SetFloat32TYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, const fmi3Float32 values[],
                                      size_t nValues);
typedef fmi3Status fmi3SetFloat64TYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, const fmi3Float64 values[],
                                      size_t nValues);
typedef fmi3Status fmi3SetInt8TYPE(fmi3Instance instance,
                                   const fmi3ValueReference valueReferences[],
                                   size_t nValueReferences, const fmi3Int8 values[],
                                   size_t nValues);
typedef fmi3Status fmi3SetUInt8TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3UInt8 values[],
                                    size_t nValues);
typedef fmi3Status fmi3SetInt16TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3Int16 values[],
                                    size_t nValues);
typedef fmi3Status fmi3SetUInt16TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const fmi3UInt16 values[],
                                     size_t nValues);
typedef fmi3Status fmi3SetInt32TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3Int32 values[],
                                    size_t nValues);
typedef fmi3Status fmi3SetUInt32TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const fmi3UInt32 values[],
                                     size_t nValues);
typedef fmi3Status fmi3SetInt64TYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3Int64 values[],
                                    size_t nValues);
typedef fmi3Status fmi3SetUInt64TYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const fmi3UInt64 values[],
                                     size_t nValues);
typedef fmi3Status fmi3SetBooleanTYPE(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, const fmi3Boolean values[],
                                      size_t nValues);
typedef fmi3Status fmi3SetStringTYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const fmi3String values[],
                                     size_t nValues);
typedef fmi3Status fmi3SetBinaryTYPE(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const size_t valueSizes[],
                                     const fmi3Binary values[], size_t nValues);
typedef fmi3Status fmi3SetClockTYPE(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3Clock values[]);
typedef fmi3Status fmi3GetNumberOfVariableDependenciesTYPE(fmi3Instance instance,
                                                           fmi3ValueReference valueReference,
                                                           size_t* nDependencies);
typedef fmi3Status fmi3GetVariableDependenciesTYPE(
    fmi3Instance instance, fmi3ValueReference dependent, size_t elementIndicesOfDependent[],
    fmi3ValueReference independents[], size_t elementIndicesOfIndependents[],
    fmi3DependencyKind dependencyKinds[], size_t nDependencies);
typedef fmi3Status fmi3GetFMUStateTYPE(fmi3Instance instance, fmi3FMUState* FMUState);
typedef fmi3Status fmi3SetFMUStateTYPE(fmi3Instance instance, fmi3FMUState FMUState);
typedef fmi3Status fmi3FreeFMUStateTYPE(fmi3Instance instance, fmi3FMUState* FMUState);
typedef fmi3Status fmi3SerializedFMUStateSizeTYPE(fmi3Instance instance, fmi3FMUState FMUState,
                                                  size_t* size);
typedef fmi3Status fmi3SerializeFMUStateTYPE(fmi3Instance instance, fmi3FMUState FMUState,
                                             fmi3Byte serializedState[], size_t size);
typedef fmi3Status fmi3DeserializeFMUStateTYPE(fmi3Instance instance,
                                               const fmi3Byte serializedState[], size_t size,
                                               fmi3FMUState* FMUState);
typedef fmi3Status fmi3GetDirectionalDerivativeTYPE(
    fmi3Instance instance, const fmi3ValueReference unknowns[], size_t nUnknowns,
    const fmi3ValueReference knowns[], size_t nKnowns, const fmi3Float64 seed[], size_t nSeed,
    fmi3Float64 sensitivity[], size_t nSensitivity);
typedef fmi3Status fmi3GetAdjointDerivativeTYPE(fmi3Instance instance,
                                                const fmi3ValueReference unknowns[],
                                                size_t nUnknowns,
                                                const fmi3ValueReference knowns[], size_t nKnowns,
                                                const fmi3Float64 seed[], size_t nSeed,
                                                fmi3Float64 sensitivity[], size_t nSensitivity);
typedef fmi3Status fmi3EnterConfigurationModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3ExitConfigurationModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3GetIntervalDecimalTYPE(fmi3Instance instance,
                                              const fmi3ValueReference valueReferences[],
                                              size_t nValueReferences, fmi3Float64 intervals[],
                                              fmi3IntervalQualifier qualifiers[]);
typedef fmi3Status fmi3GetIntervalFractionTYPE(fmi3Instance instance,
                                               const fmi3ValueReference valueReferences[],
                                               size_t nValueReferences, fmi3UInt64 counters[],
                                               fmi3UInt64 resolutions[],
                                               fmi3IntervalQualifier qualifiers[]);
typedef fmi3Status fmi3GetShiftDecimalTYPE(fmi3Instance instance,
                                           const fmi3ValueReference valueReferences[],
                                           size_t nValueReferences, fmi3Float64 shifts[]);
typedef fmi3Status fmi3GetShiftFractionTYPE(fmi3Instance instance,
                                            const fmi3ValueReference valueReferences[],
                                            size_t nValueReferences, fmi3UInt64 counters[],
                                            fmi3UInt64 resolutions[]);
typedef fmi3Status fmi3SetIntervalDecimalTYPE(fmi3Instance instance,
                                              const fmi3ValueReference valueReferences[],
                                              size_t nValueReferences,
                                              const fmi3Float64 intervals[]);
typedef fmi3Status fmi3SetIntervalFractionTYPE(fmi3Instance instance,
                                               const fmi3ValueReference valueReferences[],
                                               size_t nValueReferences,
                                               const fmi3UInt64 counters[],
                                               const fmi3UInt64 resolutions[]);
typedef fmi3Status fmi3SetShiftDecimalTYPE(fmi3Instance instance,
                                           const fmi3ValueReference valueReferences[],
                                           size_t nValueReferences, const fmi3Float64 shifts[]);
typedef fmi3Status fmi3SetShiftFractionTYPE(fmi3Instance instance,
                                            const fmi3ValueReference valueReferences[],
                                            size_t nValueReferences, const fmi3UInt64 counters[],
                                            const fmi3UInt64 resolutions[]);
typedef fmi3Status fmi3EvaluateDiscreteStatesTYPE(fmi3Instance instance);
typedef fmi3Status fmi3UpdateDiscreteStatesTYPE(fmi3Instance instance,
                                                fmi3Boolean* discreteStatesNeedUpdate,
                                                fmi3Boolean* terminateSimulation,
                                                fmi3Boolean* nominalsOfContinuousStatesChanged,
                                                fmi3Boolean* valuesOfContinuousStatesChanged,
                                                fmi3Boolean* nextEventTimeDefined,
                                                fmi3Float64* nextEventTime);
typedef fmi3Status fmi3EnterContinuousTimeModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3CompletedIntegratorStepTYPE(fmi3Instance instance,
                                                   fmi3Boolean noSetFMUStatePriorToCurrentPoint,
                                                   fmi3Boolean* enterEventMode,
                                                   fmi3Boolean* terminateSimulation);
typedef fmi3Status fmi3SetTimeTYPE(fmi3Instance instance, fmi3Float64 time);
typedef fmi3Status fmi3SetContinuousStatesTYPE(fmi3Instance instance,
                                               const fmi3Float64 continuousStates[],
                                               size_t nContinuousStates);
typedef fmi3Status fmi3GetContinuousStateDerivativesTYPE(fmi3Instance instance,
                                                         fmi3Float64 derivatives[],
                                                         size_t nContinuousStates);
typedef fmi3Status fmi3GetEventIndicatorsTYPE(fmi3Instance instance,
                                              fmi3Float64 eventIndicators[],
                                              size_t nEventIndicators);
typedef fmi3Status fmi3GetContinuousStatesTYPE(fmi3Instance instance,
                                               fmi3Float64 continuousStates[],
                                               size_t nContinuousStates);
typedef fmi3Status fmi3GetNominalsOfContinuousStatesTYPE(fmi3Instance instance,
                                                         fmi3Float64 nominals[],
                                                         size_t nContinuousStates);
typedef fmi3Status fmi3GetNumberOfEventIndicatorsTYPE(fmi3Instance instance,
                                                      size_t* nEventIndicators);
typedef fmi3Status fmi3GetNumberOfContinuousStatesTYPE(fmi3Instance instance,
                                                       size_t* nContinuousStates);
typedef fmi3Status fmi3EnterStepModeTYPE(fmi3Instance instance);
typedef fmi3Status fmi3GetOutputDerivativesTYPE(fmi3Instance instance,
                                                const fmi3ValueReference valueReferences[],
                                                size_t nValueReferences, const fmi3Int32 orders[],
                                                fmi3Float64 values[], size_t nValues);
typedef fmi3Status fmi3DoStepTYPE(fmi3Instance instance, fmi3Float64 currentCommunicationPoint,
                                  fmi3Float64 communicationStepSize,
                                  fmi3Boolean noSetFMUStatePriorToCurrentPoint,
                                  fmi3Boolean* eventHandlingNeeded,
                                  fmi3Boolean* terminateSimulation, fmi3Boolean* earlyReturn,
                                  fmi3Float64* lastSuccessfulTime);
typedef fmi3Status fmi3ActivateModelPartitionTYPE(fmi3Instance instance,
                                                  fmi3ValueReference clockReference,
                                                  fmi3Float64 activationTime);

// The exported functions. Only these names leave the shared library.
#if defined(_WIN32)
#define FMI3_Export __declspec(dllexport)
#elif defined(__GNUC__)
#define FMI3_Export __attribute__((visibility("default")))
#else
#define FMI3_Export
#endif

FMI3_Export fmi3GetVersionTYPE fmi3GetVersion;
FMI3_Export fmi3SetDebugLoggingTYPE fmi3SetDebugLogging;
FMI3_Export fmi3InstantiateModelExchangeTYPE fmi3InstantiateModelExchange;
FMI3_Export fmi3InstantiateCoSimulationTYPE fmi3InstantiateCoSimulation;
FMI3_Export fmi3InstantiateScheduledExecutionTYPE fmi3InstantiateScheduledExecution;
FMI3_Export fmi3FreeInstanceTYPE fmi3FreeInstance;
FMI3_Export fmi3EnterInitializationModeTYPE fmi3EnterInitializationMode;
FMI3_Export fmi3ExitInitializationModeTYPE fmi3ExitInitializationMode;
FMI3_Export fmi3EnterEventModeTYPE fmi3EnterEventMode;
FMI3_Export fmi3TerminateTYPE fmi3Terminate;
FMI3_Export fmi3ResetTYPE fmi3Reset;
FMI3_Export fmi3GetFloat32TYPE fmi3GetFloat32;
FMI3_Export fmi3GetFloat64TYPE fmi3GetFloat64;
FMI3_Export fmi3GetInt8TYPE fmi3GetInt8;
FMI3_Export fmi3GetUInt8TYPE fmi3GetUInt8;
FMI3_Export fmi3GetInt16TYPE fmi3GetInt16;
FMI3_Export fmi3GetUInt16TYPE fmi3GetUInt16;
FMI3_Export fmi3GetInt32TYPE fmi3GetInt32;
FMI3_Export fmi3GetUInt32TYPE fmi3GetUInt32;
FMI3_Export fmi3GetInt64TYPE fmi3GetInt64;
FMI3_Export fmi3GetUInt64TYPE fmi3GetUInt64;
FMI3_Export fmi3GetBooleanTYPE fmi3GetBoolean;
FMI3_Export fmi3GetStringTYPE fmi3GetString;
FMI3_Export fmi3GetBinaryTYPE fmi3GetBinary;
FMI3_Export fmi3GetClockTYPE fmi3GetClock;
FMI3_Export fmi3SetFloat32TYPE fmi3SetFloat32;
FMI3_Export fmi3SetFloat64TYPE fmi3SetFloat64;
FMI3_Export fmi3SetInt8TYPE fmi3SetInt8;
FMI3_Export fmi3SetUInt8TYPE fmi3SetUInt8;
FMI3_Export fmi3SetInt16TYPE fmi3SetInt16;
FMI3_Export fmi3SetUInt16TYPE fmi3SetUInt16;
FMI3_Export fmi3SetInt32TYPE fmi3SetInt32;
FMI3_Export fmi3SetUInt32TYPE fmi3SetUInt32;
FMI3_Export fmi3SetInt64TYPE fmi3SetInt64;
FMI3_Export fmi3SetUInt64TYPE fmi3SetUInt64;
FMI3_Export fmi3SetBooleanTYPE fmi3SetBoolean;
FMI3_Export fmi3SetStringTYPE fmi3SetString;
FMI3_Export fmi3SetBinaryTYPE fmi3SetBinary;
FMI3_Export fmi3SetClockTYPE fmi3SetClock;
FMI3_Export fmi3GetNumberOfVariableDependenciesTYPE fmi3GetNumberOfVariableDependencies;
FMI3_Export fmi3GetVariableDependenciesTYPE fmi3GetVariableDependencies;
FMI3_Export fmi3GetFMUStateTYPE fmi3GetFMUState;
FMI3_Export fmi3SetFMUStateTYPE fmi3SetFMUState;
FMI3_Export fmi3FreeFMUStateTYPE fmi3FreeFMUState;
FMI3_Export fmi3SerializedFMUStateSizeTYPE fmi3SerializedFMUStateSize;
FMI3_Export fmi3SerializeFMUStateTYPE fmi3SerializeFMUState;
FMI3_Export fmi3DeserializeFMUStateTYPE fmi3DeserializeFMUState;
FMI3_Export fmi3GetDirectionalDerivativeTYPE fmi3GetDirectionalDerivative;
FMI3_Export fmi3GetAdjointDerivativeTYPE fmi3GetAdjointDerivative;
FMI3_Export fmi3EnterConfigurationModeTYPE fmi3EnterConfigurationMode;
FMI3_Export fmi3ExitConfigurationModeTYPE fmi3ExitConfigurationMode;
FMI3_Export fmi3GetIntervalDecimalTYPE fmi3GetIntervalDecimal;
FMI3_Export fmi3GetIntervalFractionTYPE fmi3GetIntervalFraction;
FMI3_Export fmi3GetShiftDecimalTYPE fmi3GetShiftDecimal;
FMI3_Export fmi3GetShiftFractionTYPE fmi3GetShiftFraction;
FMI3_Export fmi3SetIntervalDecimalTYPE fmi3SetIntervalDecimal;
FMI3_Export fmi3SetIntervalFractionTYPE fmi3SetIntervalFraction;
FMI3_Export fmi3SetShiftDecimalTYPE fmi3SetShiftDecimal;
FMI3_Export fmi3SetShiftFractionTYPE fmi3SetShiftFraction;
FMI3_Export fmi3EvaluateDiscreteStatesTYPE fmi3EvaluateDiscreteStates;
FMI3_Export fmi3UpdateDiscreteStatesTYPE fmi3UpdateDiscreteStates;
FMI3_Export fmi3EnterContinuousTimeModeTYPE fmi3EnterContinuousTimeMode;
FMI3_Export fmi3CompletedIntegratorStepTYPE fmi3CompletedIntegratorStep;
FMI3_Export fmi3SetTimeTYPE fmi3SetTime;
FMI3_Export fmi3SetContinuousStatesTYPE fmi3SetContinuousStates;
FMI3_Export fmi3GetContinuousStateDerivativesTYPE fmi3GetContinuousStateDerivatives;
FMI3_Export fmi3GetEventIndicatorsTYPE fmi3GetEventIndicators;
FMI3_Export fmi3GetContinuousStatesTYPE fmi3GetContinuousStates;
FMI3_Export fmi3GetNominalsOfContinuousStatesTYPE fmi3GetNominalsOfContinuousStates;
FMI3_Export fmi3GetNumberOfEventIndicatorsTYPE fmi3GetNumberOfEventIndicators;
FMI3_Export fmi3GetNumberOfContinuousStatesTYPE fmi3GetNumberOfContinuousStates;
FMI3_Export fmi3EnterStepModeTYPE fmi3EnterStepMode;
FMI3_Export fmi3GetOutputDerivativesTYPE fmi3GetOutputDerivatives;
FMI3_Export fmi3DoStepTYPE fmi3DoStep;
FMI3_Export fmi3ActivateModelPartitionTYPE fmi3ActivateModelPartition;

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // TARVO_FMI3_FUNCTIONS_H
