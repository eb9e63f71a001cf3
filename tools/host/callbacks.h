// The host callbacks of the tools and the benchmark: memory from calloc,
// back to free; the unit's messages either to standard error, each prefixed
// with the component environment (a text that says which run it belongs
// to), or nowhere. FMI 3.0 has no allocator and passes its messages ready
// made, behind the instance environment.
#ifndef TARVO_TOOLS_HOST_CALLBACKS_H
#define TARVO_TOOLS_HOST_CALLBACKS_H

#include <cstddef>

#include "fmi2/fmi2_types.h"
#include "fmi3/fmi3_types.h"

namespace tarvo::host {

// "[ENVIRONMENT] INSTANCE (status S, CATEGORY): MESSAGE" and a newline.
void logToStderr(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
                 fmi2String category, fmi2String message, ...);
void logNothing(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
                fmi2String category, fmi2String message, ...);

void* allocateZeroed(std::size_t count, std::size_t size);
void freeAllocated(void* block);

// For a step finished asynchronously, which the unit never reports.
void ignoreStepFinished(fmi2ComponentEnvironment environment, fmi2Status status);

// FMI 3.0's: "[ENVIRONMENT] (status S, CATEGORY): MESSAGE" and a newline,
// the environment being a text as above; or nothing.
void logFmi3ToStderr(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category,
                     fmi3String message);
void logFmi3Nothing(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category,
                    fmi3String message);

// The unit's messages to standard error, prefixed with environment, which
// must outlive every instance made with the record.
fmi2CallbackFunctions stderrCallbacks(const char* environment);
// No messages; one record for every instance.
const fmi2CallbackFunctions& quietCallbacks();

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_CALLBACKS_H
