// The host callbacks of the trace tool, for its scenarios and its replays:
// the unit's messages go to standard error, prefixed with the component
// environment, a text that says which run they belong to; memory comes from
// calloc and goes back to free.
#ifndef TARVO_TOOLS_TRACE_HOST_CALLBACKS_H
#define TARVO_TOOLS_TRACE_HOST_CALLBACKS_H

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "fmi2/fmi2_types.h"

extern "C" {

inline void logToStderr(fmi2ComponentEnvironment environment, fmi2String instanceName,
                        fmi2Status status, fmi2String category, fmi2String message, ...) {
    std::fprintf(stderr, "[%s] %s (status %d, %s): ",
                 environment ? static_cast<const char*>(environment) : "?",
                 instanceName ? instanceName : "(null)", static_cast<int>(status),
                 category ? category : "(null)");
    if (message != nullptr) {
        va_list arguments;
        va_start(arguments, message);
        std::vfprintf(stderr, message, arguments);
        va_end(arguments);
    }
    std::fputc('\n', stderr);
}

inline void* allocateZeroed(size_t count, size_t size) {
    return std::calloc(count, size);
}

inline void freeAllocated(void* block) {
    std::free(block);
}

}  // extern "C"

#endif  // TARVO_TOOLS_TRACE_HOST_CALLBACKS_H
