// The 35 exported functions as a table of pointers, for every host-side
// program: the tools, the benchmark and the tests, which drive the unit
// linked in or loaded with dlopen (LoadLibrary on Windows) through the same
// table.
#ifndef TARVO_TOOLS_HOST_FMI_API_H
#define TARVO_TOOLS_HOST_FMI_API_H

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

#include "fmi2/fmi2_functions.h"

namespace tarvo::host {

// The platform's shared-library calls: a handle of the loaded library, or
// null; the address of one of its functions, or null.
inline void* openLibrary(const std::string& path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

inline void* findFunction(void* library, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

// Why the last openLibrary failed.
inline std::string libraryError() {
#if defined(_WIN32)
    return "Windows error " + std::to_string(GetLastError());
#else
    const char* reason = dlerror();
    return reason != nullptr ? reason : "unknown reason";
#endif
}

#define TARVO_FMI_EXPORTS(X)        \
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

struct FmiApi {
#define TARVO_API_MEMBER(name) name##TYPE* name = nullptr;
    TARVO_FMI_EXPORTS(TARVO_API_MEMBER)
#undef TARVO_API_MEMBER
};

constexpr const char* kExportNames[] = {
#define TARVO_API_NAME(name) #name,
    TARVO_FMI_EXPORTS(TARVO_API_NAME)
#undef TARVO_API_NAME
};
constexpr int kExportCount = sizeof kExportNames / sizeof kExportNames[0];
static_assert(kExportCount == 35, "the unit exports exactly 35 functions");

// Resolves every export from a loaded library; names that are missing stay
// null, and missingExports counts them.
inline FmiApi resolveFmiApi(void* library, int* missingExports = nullptr) {
    FmiApi api;
    int missing = 0;
#define TARVO_API_RESOLVE(name)                                             \
    api.name = reinterpret_cast<name##TYPE*>(findFunction(library, #name)); \
    if (api.name == nullptr) ++missing;
    TARVO_FMI_EXPORTS(TARVO_API_RESOLVE)
#undef TARVO_API_RESOLVE
    if (missingExports != nullptr) {
        *missingExports = missing;
    }
    return api;
}

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_FMI_API_H
