// FMI 2.0 platform types, status enums and the host's callback record,
// declared as the published FMI 2.0 standard defines them: what the instance
// record and the exported functions share. Hosts bind to these names and
// layouts, so nothing here may change.
#ifndef TARVO_FMI2_TYPES_H
#define TARVO_FMI2_TYPES_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Platform types ("default" types platform).
#define fmi2TypesPlatform "default"
#define fmi2Version "2.0"

typedef void* fmi2Component;
typedef void* fmi2ComponentEnvironment;
typedef void* fmi2FMUstate;
typedef unsigned int fmi2ValueReference;
typedef double fmi2Real;
typedef int fmi2Integer;
typedef int fmi2Boolean;
typedef char fmi2Char;
typedef const fmi2Char* fmi2String;
typedef char fmi2Byte;

#define fmi2True 1
#define fmi2False 0

typedef enum {
    fmi2OK,
    fmi2Warning,
    fmi2Discard,
    fmi2Error,
    fmi2Fatal,
    fmi2Pending
} fmi2Status;

typedef enum {
    fmi2ModelExchange,
    fmi2CoSimulation
} fmi2Type;

typedef enum {
    fmi2DoStepStatus,
    fmi2PendingStatus,
    fmi2LastSuccessfulTime,
    fmi2Terminated
} fmi2StatusKind;

typedef void (*fmi2CallbackLogger)(fmi2ComponentEnvironment componentEnvironment,
                                   fmi2String instanceName, fmi2Status status,
                                   fmi2String category, fmi2String message, ...);
typedef void* (*fmi2CallbackAllocateMemory)(size_t nobj, size_t size);
typedef void (*fmi2CallbackFreeMemory)(void* obj);
typedef void (*fmi2StepFinished)(fmi2ComponentEnvironment componentEnvironment,
                                 fmi2Status status);

typedef struct {
    const fmi2CallbackLogger logger;
    const fmi2CallbackAllocateMemory allocateMemory;
    const fmi2CallbackFreeMemory freeMemory;
    const fmi2StepFinished stepFinished;
    const fmi2ComponentEnvironment componentEnvironment;
} fmi2CallbackFunctions;

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(fmi2Boolean) == sizeof(int), "hosts pass fmi2Boolean as int");
static_assert(sizeof(fmi2Integer) == 4, "fmi2Integer is 32-bit");
static_assert(sizeof(fmi2ValueReference) == 4 && static_cast<fmi2ValueReference>(-1) > 0,
              "fmi2ValueReference is unsigned 32-bit");
static_assert(sizeof(fmi2Real) == 8, "fmi2Real is an IEEE double");
static_assert(sizeof(fmi2Status) == sizeof(int), "enums cross the boundary as int");
#endif

#endif  // TARVO_FMI2_TYPES_H
