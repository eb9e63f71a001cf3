// The record behind an fmi3Instance: what the instance keeps of its host
// and owns for it, and the model. Only this boundary sees it.
#ifndef TARVO_FMI3_INSTANCE_H
#define TARVO_FMI3_INSTANCE_H

#include <type_traits>

#include "fmi3/fmi3_functions.h"
#include "runtime/model.h"

namespace tarvo::fmi3 {

// The host's side of an instance: its environment and logger, as given,
// and copies of the instance name and the resource path (or null), from
// the C library's allocator.
struct HostBinding {
    fmi3InstanceEnvironment environment;
    fmi3LogMessageCallback logMessage;  // or null: nobody to tell
    char* instanceName;
    char* resourcePath;
};

struct Instance {
    HostBinding host;
    runtime::Model model;
};

static_assert(std::is_trivially_copyable_v<Instance> && std::is_standard_layout_v<Instance>,
              "an instance is zero-filled when it is made");

inline Instance* instanceOf(fmi3Instance instance) {
    return static_cast<Instance*>(instance);
}

}  // namespace tarvo::fmi3

#endif  // TARVO_FMI3_INSTANCE_H
