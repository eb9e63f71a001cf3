// Messages to the host through its logMessage callback. Every message is
// sent, whatever loggingOn says, with category "error" and the status the
// call returns; texts with placeholders are formatted here, on the stack.
#ifndef TARVO_FMI3_LOGGING_H
#define TARVO_FMI3_LOGGING_H

#include "fmi3/fmi3_types.h"
#include "fmi3/instance.h"

namespace tarvo::fmi3 {

constexpr const char kMissingInstanceName[] = "Missing instance name.";
constexpr const char kMissingToken[] =
    "fmi3InstantiateCoSimulation: Missing instantiation token.";
constexpr const char kWrongToken[] =
    "fmi3InstantiateCoSimulation: Wrong instantiation token %s. Expected %s.";
constexpr const char kOutOfMemoryInstance[] =
    "fmi3InstantiateCoSimulation: Out of memory while allocating model instance";
constexpr const char kOutOfMemoryName[] =
    "fmi3InstantiateCoSimulation: Out of memory while allocating instance name";
constexpr const char kModelExchangeRefused[] =
    "fmi3InstantiateModelExchange: FMU can only be used for Co-Simulation, not for Model "
    "Exchange";
constexpr const char kScheduledExecutionRefused[] =
    "fmi3InstantiateScheduledExecution: FMU can only be used for Co-Simulation, not for "
    "Scheduled Execution";
constexpr const char kNanStopTime[] = "fmi3EnterInitializationMode: The stop time is NaN.";
constexpr const char kFinishTimeExceeded[] = "Exceeded model finish time: %g > %g";
constexpr const char kNoFiniteEnd[] =
    "fmi3DoStep: The communication point %g and the step size %g give no finite end.";
constexpr const char kNoPlaceForResults[] =
    "fmi3DoStep: No place for eventHandlingNeeded, terminateSimulation, earlyReturn or "
    "lastSuccessfulTime.";
constexpr const char kClockStalled[] =
    "fmi3DoStep: The internal step cannot advance the clock from %g.";
constexpr const char kSnapshotAllocationFailed[] =
    "Could not allocate memory for fmi3GetFMUState.";
constexpr const char kSnapshotRestoreFailed[] = "Could not restore the FMU state.";

// Sends message, formatted with the arguments, when there is a logger. The
// messages use only what C99 and the Windows C runtime DLL format alike:
// %s, %u, %llu and %g (that runtime knows no %zu, so sizes go as unsigned
// long long).
void logMessage(const HostBinding& host, fmi3Status status, const char* message, ...)
#if defined(__MINGW32__)
    __attribute__((format(ms_printf, 3, 4)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

}  // namespace tarvo::fmi3

#endif  // TARVO_FMI3_LOGGING_H
