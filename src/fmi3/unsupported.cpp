// The functions of the FMI 3.0 interface that this FMU does not offer.
// The standard asks every FMU to export all of them; each answers
// fmi3Error and tells the host why, looking at no argument but the
// instance.
#include "ieee/ieee_arithmetic.h"

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"

namespace tarvo::fmi3 {

namespace {

constexpr const char kOnlyFloat64[] = "Every variable of this FMU is a Float64.";
constexpr const char kNoClocks[] = "This FMU has no clocks.";
constexpr const char kNoEventMode[] = "This FMU has no Event Mode.";
constexpr const char kNoDependencies[] = "This FMU declares no variable dependencies.";
constexpr const char kNoDerivatives[] = "This FMU provides no derivatives.";
constexpr const char kNoConfiguration[] = "This FMU has no structural parameters.";
constexpr const char kCoSimulationOnly[] = "This FMU is for Co-Simulation only.";

fmi3Status refuse(fmi3Instance instance, const char* function, const char* reason) {
    if (instance != nullptr) {
        logMessage(instanceOf(instance)->host, fmi3Error, "%s: %s", function, reason);
    }
    return fmi3Error;
}

}  // namespace

}  // namespace tarvo::fmi3

namespace fmi3 = tarvo::fmi3;

extern "C" {

FMI3_Export fmi3Status fmi3EnterEventMode(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3EnterEventMode", fmi3::kNoEventMode);
}

FMI3_Export fmi3Status fmi3GetFloat32(fmi3Instance instance,
                                      const fmi3ValueReference /*valueReferences*/[],
                                      size_t /*nValueReferences*/, fmi3Float32 /*values*/[],
                                      size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetFloat32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetInt8(fmi3Instance instance,
                                   const fmi3ValueReference /*valueReferences*/[],
                                   size_t /*nValueReferences*/, fmi3Int8 /*values*/[],
                                   size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetInt8", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetUInt8(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, fmi3UInt8 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetUInt8", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetInt16(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, fmi3Int16 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetInt16", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetUInt16(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, fmi3UInt16 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetUInt16", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetInt32(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, fmi3Int32 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetInt32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetUInt32(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, fmi3UInt32 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetUInt32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetInt64(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, fmi3Int64 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetInt64", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetUInt64(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, fmi3UInt64 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetUInt64", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetBoolean(fmi3Instance instance,
                                      const fmi3ValueReference /*valueReferences*/[],
                                      size_t /*nValueReferences*/, fmi3Boolean /*values*/[],
                                      size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetBoolean", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetString(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, fmi3String /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetString", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetBinary(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, size_t /*valueSizes*/[],
                                     fmi3Binary /*values*/[], size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetBinary", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3GetClock(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, fmi3Clock /*values*/[]) {
    return fmi3::refuse(instance, "fmi3GetClock", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3SetFloat32(fmi3Instance instance,
                                      const fmi3ValueReference /*valueReferences*/[],
                                      size_t /*nValueReferences*/, const fmi3Float32 /*values*/[],
                                      size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetFloat32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetInt8(fmi3Instance instance,
                                   const fmi3ValueReference /*valueReferences*/[],
                                   size_t /*nValueReferences*/, const fmi3Int8 /*values*/[],
                                   size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetInt8", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetUInt8(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, const fmi3UInt8 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetUInt8", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetInt16(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, const fmi3Int16 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetInt16", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetUInt16(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, const fmi3UInt16 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetUInt16", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetInt32(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, const fmi3Int32 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetInt32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetUInt32(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, const fmi3UInt32 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetUInt32", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetInt64(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, const fmi3Int64 /*values*/[],
                                    size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetInt64", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetUInt64(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, const fmi3UInt64 /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetUInt64", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetBoolean(fmi3Instance instance,
                                      const fmi3ValueReference /*valueReferences*/[],
                                      size_t /*nValueReferences*/, const fmi3Boolean /*values*/[],
                                      size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetBoolean", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetString(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, const fmi3String /*values*/[],
                                     size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetString", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetBinary(fmi3Instance instance,
                                     const fmi3ValueReference /*valueReferences*/[],
                                     size_t /*nValueReferences*/, const size_t /*valueSizes*/[],
                                     const fmi3Binary /*values*/[], size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3SetBinary", fmi3::kOnlyFloat64);
}

FMI3_Export fmi3Status fmi3SetClock(fmi3Instance instance,
                                    const fmi3ValueReference /*valueReferences*/[],
                                    size_t /*nValueReferences*/, const fmi3Clock /*values*/[]) {
    return fmi3::refuse(instance, "fmi3SetClock", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3GetNumberOfVariableDependencies(fmi3Instance instance,
                                                           fmi3ValueReference /*valueReference*/,
                                                           size_t* /*nDependencies*/) {
    return fmi3::refuse(instance, "fmi3GetNumberOfVariableDependencies", fmi3::kNoDependencies);
}

FMI3_Export fmi3Status fmi3GetVariableDependencies(fmi3Instance instance,
                                                   fmi3ValueReference /*dependent*/,
                                                   size_t /*elementIndicesOfDependent*/[],
                                                   fmi3ValueReference /*independents*/[],
                                                   size_t /*elementIndicesOfIndependents*/[],
                                                   fmi3DependencyKind /*dependencyKinds*/[],
                                                   size_t /*nDependencies*/) {
    return fmi3::refuse(instance, "fmi3GetVariableDependencies", fmi3::kNoDependencies);
}

FMI3_Export fmi3Status fmi3GetDirectionalDerivative(
    fmi3Instance instance, const fmi3ValueReference /*unknowns*/[], size_t /*nUnknowns*/,
    const fmi3ValueReference /*knowns*/[], size_t /*nKnowns*/, const fmi3Float64 /*seed*/[],
    size_t /*nSeed*/, fmi3Float64 /*sensitivity*/[], size_t /*nSensitivity*/) {
    return fmi3::refuse(instance, "fmi3GetDirectionalDerivative", fmi3::kNoDerivatives);
}

FMI3_Export fmi3Status fmi3GetAdjointDerivative(
    fmi3Instance instance, const fmi3ValueReference /*unknowns*/[], size_t /*nUnknowns*/,
    const fmi3ValueReference /*knowns*/[], size_t /*nKnowns*/, const fmi3Float64 /*seed*/[],
    size_t /*nSeed*/, fmi3Float64 /*sensitivity*/[], size_t /*nSensitivity*/) {
    return fmi3::refuse(instance, "fmi3GetAdjointDerivative", fmi3::kNoDerivatives);
}

FMI3_Export fmi3Status fmi3EnterConfigurationMode(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3EnterConfigurationMode", fmi3::kNoConfiguration);
}

FMI3_Export fmi3Status fmi3ExitConfigurationMode(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3ExitConfigurationMode", fmi3::kNoConfiguration);
}

FMI3_Export fmi3Status fmi3GetIntervalDecimal(fmi3Instance instance,
                                              const fmi3ValueReference /*valueReferences*/[],
                                              size_t /*nValueReferences*/,
                                              fmi3Float64 /*intervals*/[],
                                              fmi3IntervalQualifier /*qualifiers*/[]) {
    return fmi3::refuse(instance, "fmi3GetIntervalDecimal", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3GetIntervalFraction(fmi3Instance instance,
                                               const fmi3ValueReference /*valueReferences*/[],
                                               size_t /*nValueReferences*/,
                                               fmi3UInt64 /*counters*/[],
                                               fmi3UInt64 /*resolutions*/[],
                                               fmi3IntervalQualifier /*qualifiers*/[]) {
    return fmi3::refuse(instance, "fmi3GetIntervalFraction", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3GetShiftDecimal(fmi3Instance instance,
                                           const fmi3ValueReference /*valueReferences*/[],
                                           size_t /*nValueReferences*/,
                                           fmi3Float64 /*shifts*/[]) {
    return fmi3::refuse(instance, "fmi3GetShiftDecimal", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3GetShiftFraction(fmi3Instance instance,
                                            const fmi3ValueReference /*valueReferences*/[],
                                            size_t /*nValueReferences*/,
                                            fmi3UInt64 /*counters*/[],
                                            fmi3UInt64 /*resolutions*/[]) {
    return fmi3::refuse(instance, "fmi3GetShiftFraction", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3SetIntervalDecimal(fmi3Instance instance,
                                              const fmi3ValueReference /*valueReferences*/[],
                                              size_t /*nValueReferences*/,
                                              const fmi3Float64 /*intervals*/[]) {
    return fmi3::refuse(instance, "fmi3SetIntervalDecimal", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3SetIntervalFraction(fmi3Instance instance,
                                               const fmi3ValueReference /*valueReferences*/[],
                                               size_t /*nValueReferences*/,
                                               const fmi3UInt64 /*counters*/[],
                                               const fmi3UInt64 /*resolutions*/[]) {
    return fmi3::refuse(instance, "fmi3SetIntervalFraction", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3SetShiftDecimal(fmi3Instance instance,
                                           const fmi3ValueReference /*valueReferences*/[],
                                           size_t /*nValueReferences*/,
                                           const fmi3Float64 /*shifts*/[]) {
    return fmi3::refuse(instance, "fmi3SetShiftDecimal", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3SetShiftFraction(fmi3Instance instance,
                                            const fmi3ValueReference /*valueReferences*/[],
                                            size_t /*nValueReferences*/,
                                            const fmi3UInt64 /*counters*/[],
                                            const fmi3UInt64 /*resolutions*/[]) {
    return fmi3::refuse(instance, "fmi3SetShiftFraction", fmi3::kNoClocks);
}

FMI3_Export fmi3Status fmi3EvaluateDiscreteStates(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3EvaluateDiscreteStates", fmi3::kNoEventMode);
}

FMI3_Export fmi3Status fmi3UpdateDiscreteStates(
    fmi3Instance instance, fmi3Boolean* /*discreteStatesNeedUpdate*/,
    fmi3Boolean* /*terminateSimulation*/, fmi3Boolean* /*nominalsOfContinuousStatesChanged*/,
    fmi3Boolean* /*valuesOfContinuousStatesChanged*/, fmi3Boolean* /*nextEventTimeDefined*/,
    fmi3Float64* /*nextEventTime*/) {
    return fmi3::refuse(instance, "fmi3UpdateDiscreteStates", fmi3::kNoEventMode);
}

FMI3_Export fmi3Status fmi3EnterContinuousTimeMode(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3EnterContinuousTimeMode", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3CompletedIntegratorStep(
    fmi3Instance instance, fmi3Boolean /*noSetFMUStatePriorToCurrentPoint*/,
    fmi3Boolean* /*enterEventMode*/, fmi3Boolean* /*terminateSimulation*/) {
    return fmi3::refuse(instance, "fmi3CompletedIntegratorStep", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3SetTime(fmi3Instance instance, fmi3Float64 /*time*/) {
    return fmi3::refuse(instance, "fmi3SetTime", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3SetContinuousStates(fmi3Instance instance,
                                               const fmi3Float64 /*continuousStates*/[],
                                               size_t /*nContinuousStates*/) {
    return fmi3::refuse(instance, "fmi3SetContinuousStates", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetContinuousStateDerivatives(fmi3Instance instance,
                                                         fmi3Float64 /*derivatives*/[],
                                                         size_t /*nContinuousStates*/) {
    return fmi3::refuse(instance, "fmi3GetContinuousStateDerivatives", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetEventIndicators(fmi3Instance instance,
                                              fmi3Float64 /*eventIndicators*/[],
                                              size_t /*nEventIndicators*/) {
    return fmi3::refuse(instance, "fmi3GetEventIndicators", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetContinuousStates(fmi3Instance instance,
                                               fmi3Float64 /*continuousStates*/[],
                                               size_t /*nContinuousStates*/) {
    return fmi3::refuse(instance, "fmi3GetContinuousStates", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetNominalsOfContinuousStates(fmi3Instance instance,
                                                         fmi3Float64 /*nominals*/[],
                                                         size_t /*nContinuousStates*/) {
    return fmi3::refuse(instance, "fmi3GetNominalsOfContinuousStates", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetNumberOfEventIndicators(fmi3Instance instance,
                                                      size_t* /*nEventIndicators*/) {
    return fmi3::refuse(instance, "fmi3GetNumberOfEventIndicators", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3GetNumberOfContinuousStates(fmi3Instance instance,
                                                       size_t* /*nContinuousStates*/) {
    return fmi3::refuse(instance, "fmi3GetNumberOfContinuousStates", fmi3::kCoSimulationOnly);
}

FMI3_Export fmi3Status fmi3EnterStepMode(fmi3Instance instance) {
    return fmi3::refuse(instance, "fmi3EnterStepMode", fmi3::kNoEventMode);
}

FMI3_Export fmi3Status fmi3GetOutputDerivatives(fmi3Instance instance,
                                                const fmi3ValueReference /*valueReferences*/[],
                                                size_t /*nValueReferences*/,
                                                const fmi3Int32 /*orders*/[],
                                                fmi3Float64 /*values*/[], size_t /*nValues*/) {
    return fmi3::refuse(instance, "fmi3GetOutputDerivatives", fmi3::kNoDerivatives);
}

FMI3_Export fmi3Status fmi3ActivateModelPartition(fmi3Instance instance,
                                                  fmi3ValueReference /*clockReference*/,
                                                  fmi3Float64 /*activationTime*/) {
    return fmi3::refuse(instance, "fmi3ActivateModelPartition", fmi3::kNoClocks);
}

}  // extern "C"
