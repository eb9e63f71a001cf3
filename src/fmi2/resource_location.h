// Turns the host's fmuResourceLocation URI into a Windows-style path with
// exactly one trailing backslash, allocated through the host's allocator.
#ifndef TARVO_FMI_RESOURCE_LOCATION_H
#define TARVO_FMI_RESOURCE_LOCATION_H

#include "fmi2/model_instance.h"

namespace tarvo::fmi {

// Returns the new path, or null for a null or empty location, a null
// instance or a failed allocation.
char* convertResourceLocation(const ModelInstance* instance, const char* location);

}  // namespace tarvo::fmi

#endif  // TARVO_FMI_RESOURCE_LOCATION_H
