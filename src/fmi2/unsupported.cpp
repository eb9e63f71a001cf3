// Exports the unit offers only because hosts look them up: derivatives of
// inputs, outputs and directional derivatives are not available. Each gives
// its fixed result and looks at no argument but the instance.
#include "ieee/ieee_arithmetic.h"

#include "fmi2/fmi2_functions.h"

extern "C" {

FMI2_Export fmi2Status fmi2GetDirectionalDerivative(
    fmi2Component c, const fmi2ValueReference /*vUnknown_ref*/[], size_t /*nUnknown*/,
    const fmi2ValueReference /*vKnown_ref*/[], size_t /*nKnown*/, const fmi2Real /*dvKnown*/[],
    fmi2Real /*dvUnknown*/[]) {
    return c == nullptr ? fmi2Error : fmi2Discard;
}

FMI2_Export fmi2Status fmi2SetRealInputDerivatives(fmi2Component /*c*/,
                                                   const fmi2ValueReference /*vr*/[],
                                                   size_t /*nvr*/, const fmi2Integer /*order*/[],
                                                   const fmi2Real /*value*/[]) {
    return fmi2Error;
}

FMI2_Export fmi2Status fmi2GetRealOutputDerivatives(fmi2Component /*c*/,
                                                    const fmi2ValueReference /*vr*/[],
                                                    size_t /*nvr*/, const fmi2Integer /*order*/[],
                                                    fmi2Real /*value*/[]) {
    return fmi2Error;
}

}  // extern "C"
