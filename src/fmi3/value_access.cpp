// Reading and writing Float64 values: every variable of the model is one.
// A value reference names a scalar, an array (all its elements, row-major)
// or the clock; the whole call is checked before anything is read or
// written.
#include "ieee/ieee_arithmetic.h"

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"
#include "runtime/model_arrays.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi3 {

namespace {

// Whether the call names only known references, and as many values as
// they stand for; tells the host what is wrong when not.
bool isValidAccess(const Instance& instance, const char* function,
                   const fmi3ValueReference valueReferences[], size_t nValueReferences,
                   const void* values, size_t nValues) {
    if (nValueReferences > 0 && (valueReferences == nullptr || values == nullptr)) {
        logMessage(instance.host, fmi3Error, "%s: No value references or no values.", function);
        return false;
    }
    size_t total = 0;
    for (size_t i = 0; i < nValueReferences; ++i) {
        const uint32_t count = runtime::valueCountOf(valueReferences[i]);
        if (count == 0) {
            logMessage(instance.host, fmi3Error, "%s: Unknown value reference %u.", function,
                       static_cast<unsigned>(valueReferences[i]));
            return false;
        }
        total += count;
    }
    if (total != nValues) {
        logMessage(instance.host, fmi3Error,
                   "%s: The value references stand for %llu values, not %llu.", function,
                   static_cast<unsigned long long>(total),
                   static_cast<unsigned long long>(nValues));
        return false;
    }
    return true;
}

}  // namespace

}  // namespace tarvo::fmi3

namespace fmi3 = tarvo::fmi3;
namespace runtime = tarvo::runtime;

extern "C" {

FMI3_Export fmi3Status fmi3GetFloat64(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, fmi3Float64 values[],
                                      size_t nValues) {
    const fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr || !fmi3::isValidAccess(*i, "fmi3GetFloat64", valueReferences,
                                             nValueReferences, values, nValues)) {
        return fmi3Error;
    }
    size_t next = 0;
    for (size_t k = 0; k < nValueReferences; ++k) {
        const fmi3ValueReference vr = valueReferences[k];
        if (vr == runtime::kTimeReference) {
            values[next++] = i->model.state.currentTime;
            continue;
        }
        runtime::forEachElement(
            vr, [&](uint32_t element) { values[next++] = runtime::valueAt(i->model, element); });
    }
    return fmi3OK;
}

// A written parameter marks the model, so that the next step brings the
// parameter-dependent quantities up to date first. The clock is the
// model's own: a host cannot set it.
FMI3_Export fmi3Status fmi3SetFloat64(fmi3Instance instance,
                                      const fmi3ValueReference valueReferences[],
                                      size_t nValueReferences, const fmi3Float64 values[],
                                      size_t nValues) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr || !fmi3::isValidAccess(*i, "fmi3SetFloat64", valueReferences,
                                             nValueReferences, values, nValues)) {
        return fmi3Error;
    }
    for (size_t k = 0; k < nValueReferences; ++k) {
        if (valueReferences[k] == runtime::kTimeReference) {
            fmi3::logMessage(i->host, fmi3Error,
                             "fmi3SetFloat64: The independent variable time cannot be set.");
            return fmi3Error;
        }
    }
    size_t next = 0;
    for (size_t k = 0; k < nValueReferences; ++k) {
        runtime::forEachElement(valueReferences[k], [&](uint32_t element) {
            runtime::setValue(i->model, element, values[next++]);
        });
    }
    return fmi3OK;
}

}  // extern "C"
