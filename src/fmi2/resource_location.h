// Turns the host's fmuResourceLocation URI into a Windows-style path with
// exactly one trailing backslash, allocated through the host's allocator.
#ifndef TARVO_FMI2_RESOURCE_LOCATION_H
#define TARVO_FMI2_RESOURCE_LOCATION_H

#include "fmi2/fmi2_types.h"

namespace tarvo::fmi2 {

// Returns the new path, from the host's allocateMemory, or null for a null
// or empty location, no allocator or a failed allocation.
char* convertResourceLocation(const fmi2CallbackFunctions* functions, const char* location);

}  // namespace tarvo::fmi2

#endif  // TARVO_FMI2_RESOURCE_LOCATION_H
