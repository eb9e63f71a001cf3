#include "host/callbacks.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tarvo::host {

void logToStderr(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
                 fmi2String category, fmi2String message, ...) {
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

void logNothing(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}

void logFmi3ToStderr(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category,
                     fmi3String message) {
    std::fprintf(stderr, "[%s] (status %d, %s): %s\n",
                 environment ? static_cast<const char*>(environment) : "?",
                 static_cast<int>(status), category ? category : "(null)",
                 message ? message : "(null)");
}

void logFmi3Nothing(fmi3InstanceEnvironment, fmi3Status, fmi3String, fmi3String) {}

void* allocateZeroed(std::size_t count, std::size_t size) {
    return std::calloc(count, size);
}

void freeAllocated(void* block) {
    std::free(block);
}

void ignoreStepFinished(fmi2ComponentEnvironment, fmi2Status) {}

fmi2CallbackFunctions stderrCallbacks(const char* environment) {
    return {logToStderr, allocateZeroed, freeAllocated, nullptr, const_cast<char*>(environment)};
}

const fmi2CallbackFunctions& quietCallbacks() {
    static const fmi2CallbackFunctions callbacks = {logNothing, allocateZeroed, freeAllocated,
                                                    nullptr, nullptr};
    return callbacks;
}

}  // namespace tarvo::host
