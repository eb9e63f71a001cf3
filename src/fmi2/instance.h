// The record behind an fmi2Component: what the instance borrows from and
// owns for its host, and the model. Only this boundary sees it.
#ifndef TARVO_FMI2_INSTANCE_H
#define TARVO_FMI2_INSTANCE_H

#include <cstddef>
#include <type_traits>

#include "fmi2/fmi2_functions.h"
#include "runtime/model.h"

namespace tarvo::fmi2 {

// The host's side of an instance: its callback record, kept by reference,
// and the name copy and resource path it owns, both from the host's
// allocator.
struct HostBinding {
    const fmi2CallbackFunctions* functions;
    char* instanceName;
    char* resourcePath;  // or null
};

struct Instance {
    HostBinding host;
    runtime::Model model;
};

static_assert(std::is_trivially_copyable_v<Instance> && std::is_standard_layout_v<Instance>,
              "an instance is zero-filled when it is made");

// What instantiation asks the host's allocator for, and each snapshot: the
// same number of bytes hosts have always seen, which the record and a
// snapshot's state fit into.
constexpr size_t kBlockBytes = 3744;
static_assert(sizeof(Instance) <= kBlockBytes && sizeof(runtime::ModelState) <= kBlockBytes,
              "the record and a snapshot fit the block a host gives");

inline Instance* instanceOf(fmi2Component component) {
    return static_cast<Instance*>(component);
}

}  // namespace tarvo::fmi2

#endif  // TARVO_FMI2_INSTANCE_H
