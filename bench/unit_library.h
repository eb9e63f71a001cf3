// Tarvo_Unit.so loaded with dlopen, the way an importer loads it, with the
// calls the benchmark and the differential tests share: a quiet logger and
// a calloc/free allocator, instantiation, single writes, reading all values
// and their hash. Several builds of the unit can be loaded side by side,
// each from its own path.
#ifndef TARVO_BENCH_UNIT_LIBRARY_H
#define TARVO_BENCH_UNIT_LIBRARY_H

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fmi2/fmi2_functions.h"
#include "host/fmi_api.h"
#include "runtime/model_identity.h"
#include "runtime/model_variables.h"

namespace tarvo::bench {

constexpr fmi2ValueReference kValueCount = runtime::kModelDataSize;
constexpr fmi2ValueReference kInputA = runtime::valueReferenceOf("channelA.input");
constexpr fmi2ValueReference kInputB = runtime::valueReferenceOf("channelB.input");

inline void quietLogger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String,
                        ...) {}

inline const fmi2CallbackFunctions kCallbacks = {quietLogger, std::calloc, std::free, nullptr,
                                                 nullptr};

// A loaded build: its dlopen handle and the table of its exports.
struct UnitLibrary {
    void* handle = nullptr;
    host::FmiApi api;
};

// The exports the benchmark and the differential tests call; a build that
// lacks one of them is refused.
// clang-format off
#define TARVO_BENCH_CALLS(X)                                                  \
    X(fmi2Instantiate) X(fmi2FreeInstance) X(fmi2SetupExperiment)             \
    X(fmi2EnterInitializationMode) X(fmi2ExitInitializationMode) X(fmi2Reset) \
    X(fmi2GetReal) X(fmi2SetReal) X(fmi2DoStep)                               \
    X(fmi2GetFMUstate) X(fmi2SetFMUstate) X(fmi2FreeFMUstate)
// clang-format on

// Loads the library at path (RTLD_LOCAL, so two builds never share a
// symbol). Prints the reason and returns false when it cannot.
inline bool loadUnitLibrary(const char* path, UnitLibrary& unit) {
    unit.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (unit.handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return false;
    }
    unit.api = host::resolveFmiApi(unit.handle);
#define TARVO_BENCH_REQUIRE(name)                                            \
    if (unit.api.name == nullptr) {                                          \
        std::fprintf(stderr, "%s lacks an FMI function: %s\n", path, #name); \
        return false;                                                        \
    }
    TARVO_BENCH_CALLS(TARVO_BENCH_REQUIRE)
#undef TARVO_BENCH_REQUIRE
    return true;
}

inline fmi2Component instantiateUnit(const UnitLibrary& unit, const char* name) {
    return unit.api.fmi2Instantiate(name, fmi2CoSimulation, runtime::kModelGuid,
                                    "file:///tmp/res", &kCallbacks, fmi2False, fmi2False);
}

inline fmi2Status setValue(const UnitLibrary& unit, fmi2Component c, fmi2ValueReference vr,
                           double value) {
    return unit.api.fmi2SetReal(c, &vr, 1, &value);
}

// All 247 values, in value-reference order.
inline fmi2Status readAllValues(const UnitLibrary& unit, fmi2Component c,
                                double (&values)[kValueCount]) {
    fmi2ValueReference references[kValueCount];
    for (fmi2ValueReference vr = 0; vr < kValueCount; ++vr) {
        references[vr] = vr;
    }
    return unit.api.fmi2GetReal(c, references, kValueCount, values);
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
