// Reading and writing model values by value reference. A value reference is
// the index of a double in modelData, whatever the FMI type; the type only
// decides the conversion on the way in or out.
#include "ieee/ieee_arithmetic.h"

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi2 {

namespace {

// The whole call is checked before anything is read or written: a bad
// reference or a missing array fails it as a whole.
bool isValidAccess(const Instance* instance, const fmi2ValueReference vr[], size_t nvr,
                   const void* values) {
    if (instance == nullptr) {
        return false;
    }
    if (nvr == 0) {
        return true;
    }
    if (vr == nullptr || values == nullptr) {
        return false;
    }
    for (size_t i = 0; i < nvr; ++i) {
        if (!runtime::isValueReference(vr[i])) {
            return false;
        }
    }
    return true;
}

double fromInteger(fmi2Integer value) {
    return static_cast<double>(value);
}

double fromBoolean(fmi2Boolean value) {
    return value != fmi2False ? 1.0 : 0.0;
}

double fromReal(fmi2Real value) {
    return value;
}

fmi2Integer toInteger(double value) {
    return runtime::integerOf(value);
}

fmi2Boolean toBoolean(double value) {
    return value == 1.0 ? fmi2True : fmi2False;
}

fmi2Real toReal(double value) {
    return value;
}

template <typename Value, typename Convert>
fmi2Status getValues(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, Value value[],
                     Convert convert) {
    const Instance* const instance = instanceOf(c);
    if (!isValidAccess(instance, vr, nvr, value)) {
        return fmi2Error;
    }
    for (size_t i = 0; i < nvr; ++i) {
        value[i] = convert(runtime::valueAt(instance->model, vr[i]));
    }
    return fmi2OK;
}

template <typename Value, typename Convert>
fmi2Status setValues(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                     const Value value[], Convert convert) {
    Instance* const instance = instanceOf(c);
    if (!isValidAccess(instance, vr, nvr, value)) {
        return fmi2Error;
    }
    for (size_t i = 0; i < nvr; ++i) {
        runtime::setValue(instance->model, vr[i], convert(value[i]));
    }
    return fmi2OK;
}

}  // namespace

}  // namespace tarvo::fmi2

namespace fmi2 = tarvo::fmi2;

extern "C" {

FMI2_Export fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                   fmi2Real value[]) {
    return fmi2::getValues(c, vr, nvr, value, fmi2::toReal);
}

FMI2_Export fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      fmi2Integer value[]) {
    return fmi2::getValues(c, vr, nvr, value, fmi2::toInteger);
}

FMI2_Export fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      fmi2Boolean value[]) {
    return fmi2::getValues(c, vr, nvr, value, fmi2::toBoolean);
}

FMI2_Export fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                   const fmi2Real value[]) {
    return fmi2::setValues(c, vr, nvr, value, fmi2::fromReal);
}

FMI2_Export fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Integer value[]) {
    return fmi2::setValues(c, vr, nvr, value, fmi2::fromInteger);
}

FMI2_Export fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Boolean value[]) {
    return fmi2::setValues(c, vr, nvr, value, fmi2::fromBoolean);
}

// The model has no string values.
FMI2_Export fmi2Status fmi2GetString(fmi2Component /*c*/, const fmi2ValueReference /*vr*/[],
                                     size_t /*nvr*/, fmi2String /*value*/[]) {
    return fmi2Error;
}

FMI2_Export fmi2Status fmi2SetString(fmi2Component /*c*/, const fmi2ValueReference /*vr*/[],
                                     size_t /*nvr*/, const fmi2String /*value*/[]) {
    return fmi2Error;
}

FMI2_Export fmi2Status fmi2GetContinuousStates(fmi2Component c, fmi2Real x[], size_t nx) {
    const fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance == nullptr || nx != tarvo::runtime::kStateCount || x == nullptr) {
        return fmi2Error;
    }
    const double* const states = tarvo::runtime::statesOf(instance->model);
    for (size_t i = 0; i < nx; ++i) {
        x[i] = states[i];
    }
    return fmi2OK;
}

}  // extern "C"
