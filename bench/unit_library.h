// Tarvo_Unit.so loaded with dlopen, the way an importer loads it: the
// exported functions that the benchmark and the differential tests call,
// a quiet logger and a calloc/free allocator. Several builds of the unit
// can be loaded side by side, each from its own path.
#ifndef TARVO_BENCH_UNIT_LIBRARY_H
#define TARVO_BENCH_UNIT_LIBRARY_H

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fmi/fmi2_functions.h"
#include "fmi/model_identity.h"

namespace tarvo::bench {

constexpr fmi2ValueReference kValueCount = 247;
constexpr fmi2ValueReference kInputA = 203;
constexpr fmi2ValueReference kInputB = 204;

inline void quietLogger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String,
                        ...) {}

inline const fmi2CallbackFunctions kCallbacks = {quietLogger, std::calloc, std::free, nullptr,
                                                 nullptr};

struct UnitLibrary {
    void* handle = nullptr;
    fmi2InstantiateTYPE* instantiate = nullptr;
    fmi2FreeInstanceTYPE* freeInstance = nullptr;
    fmi2SetupExperimentTYPE* setupExperiment = nullptr;
    fmi2EnterInitializationModeTYPE* enterInitializationMode = nullptr;
    fmi2ExitInitializationModeTYPE* exitInitializationMode = nullptr;
    fmi2ResetTYPE* reset = nullptr;
    fmi2GetRealTYPE* getReal = nullptr;
    fmi2SetRealTYPE* setReal = nullptr;
    fmi2DoStepTYPE* doStep = nullptr;
    fmi2GetFMUstateTYPE* getFMUstate = nullptr;
    fmi2SetFMUstateTYPE* setFMUstate = nullptr;
    fmi2FreeFMUstateTYPE* freeFMUstate = nullptr;
};

template <typename Function>
bool resolve(void* handle, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(dlsym(handle, name));
    return function != nullptr;
}

// Loads the library at path (RTLD_LOCAL, so two builds never share a
// symbol). Prints the reason and returns false when it cannot.
inline bool loadUnitLibrary(const char* path, UnitLibrary& unit) {
    unit.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (unit.handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return false;
    }
    void* h = unit.handle;
    const bool complete =
        resolve(h, "fmi2Instantiate", unit.instantiate) &&
        resolve(h, "fmi2FreeInstance", unit.freeInstance) &&
        resolve(h, "fmi2SetupExperiment", unit.setupExperiment) &&
        resolve(h, "fmi2EnterInitializationMode", unit.enterInitializationMode) &&
        resolve(h, "fmi2ExitInitializationMode", unit.exitInitializationMode) &&
        resolve(h, "fmi2Reset", unit.reset) && resolve(h, "fmi2GetReal", unit.getReal) &&
        resolve(h, "fmi2SetReal", unit.setReal) && resolve(h, "fmi2DoStep", unit.doStep) &&
        resolve(h, "fmi2GetFMUstate", unit.getFMUstate) &&
        resolve(h, "fmi2SetFMUstate", unit.setFMUstate) &&
        resolve(h, "fmi2FreeFMUstate", unit.freeFMUstate);
    if (!complete) {
        std::fprintf(stderr, "%s lacks an FMI function: %s\n", path, dlerror());
    }
    return complete;
}

inline fmi2Component instantiateUnit(const UnitLibrary& unit, const char* name) {
    return unit.instantiate(name, fmi2CoSimulation, fmi::kModelGuid, "file:///tmp/res",
                            &kCallbacks, fmi2False, fmi2False);
}

inline fmi2Status setValue(const UnitLibrary& unit, fmi2Component c, fmi2ValueReference vr,
                           double value) {
    return unit.setReal(c, &vr, 1, &value);
}

// All 247 values, in value-reference order.
inline fmi2Status readAllValues(const UnitLibrary& unit, fmi2Component c,
                                double (&values)[kValueCount]) {
    fmi2ValueReference references[kValueCount];
    for (fmi2ValueReference vr = 0; vr < kValueCount; ++vr) {
        references[vr] = vr;
    }
    return unit.getReal(c, references, kValueCount, values);
}

// 64-bit FNV-1a over the bytes of the values as they lie in memory.
inline uint64_t hashValues(const double* values, std::size_t count) {
    uint64_t hash = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count * sizeof(double); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace tarvo::bench

#endif  // TARVO_BENCH_UNIT_LIBRARY_H
