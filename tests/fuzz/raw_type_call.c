/* A host written in C may pass any int as the unit type. Passing one that
   names no enumerator from C++ would be undefined there, so the call is
   made from C, as such a host makes it. */
#include "fmi2/fmi2_functions.h"

fmi2Component instantiateWithTypeValue(fmi2String instanceName, int typeValue, fmi2String guid,
                                       fmi2String resourceLocation,
                                       const fmi2CallbackFunctions* functions) {
    return fmi2Instantiate(instanceName, (fmi2Type)typeValue, guid, resourceLocation, functions,
                           fmi2False, fmi2False);
}
