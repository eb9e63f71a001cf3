// Messages to the host. Every message goes to the host's logger with status
// fmi2Error and category "error"; the first argument is always the host's
// componentEnvironment, so a host can route it to the right place.
#ifndef TARVO_FMI2_LOGGING_H
#define TARVO_FMI2_LOGGING_H

#include "fmi2/fmi2_types.h"

namespace tarvo::fmi2 {

// The fixed messages; no other text is ever logged.
constexpr const char kMissingInstanceName[] = "Missing instance name.";
constexpr const char kMissingMemoryCallback[] =
    "fmi2Instantiate: Missing memory callback function.";
constexpr const char kMissingGuid[] = "fmi2Instantiate: Missing GUID.";
constexpr const char kWrongGuid[] = "fmi2Instantiate: Wrong GUID %s. Expected %s.";
constexpr const char kOutOfMemoryInstance[] =
    "fmi2Instantiate: Out of memory while allocating model instance";
constexpr const char kOutOfMemoryName[] =
    "fmi2Instantiate: Out of memory while allocating instance name";
constexpr const char kCoSimulationOnly[] =
    "FMU can only be used for Co-Simulation, not for Model Exchange";
constexpr const char kFinishTimeExceeded[] = "Exceeded model finish time: %g > %g\n";
constexpr const char kSnapshotAllocationFailed[] =
    "Could not allocate memory for fmi2GetFMUstate.";
constexpr const char kSnapshotRestoreFailed[] = "Could not restore the FMU state.";

// The instance name given with the missing-instance-name message.
constexpr const char kUnnamedInstance[] = "?";

// Each sends one message when the callback record and its logger exist, and
// does nothing otherwise.
void logError(const fmi2CallbackFunctions* functions, const char* instanceName,
              const char* message);
void logWrongGuid(const fmi2CallbackFunctions* functions, const char* instanceName,
                  const char* givenGuid);
void logFinishTimeExceeded(const fmi2CallbackFunctions* functions, const char* instanceName,
                           double currentTime, double stopTime);

}  // namespace tarvo::fmi2

#endif  // TARVO_FMI2_LOGGING_H
