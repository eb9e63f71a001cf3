// Who this model is to a host: its name, and the GUID that instantiation
// checks and every model description declares (an FMI 3.0 host knows it as
// the instantiation token).
#ifndef TARVO_RUNTIME_MODEL_IDENTITY_H
#define TARVO_RUNTIME_MODEL_IDENTITY_H

namespace tarvo::runtime {

constexpr const char kModelName[] = "Tarvo_Unit";
constexpr const char kModelGuid[] = "{3f1c9a52-7b4e-4d08-a6c3-5e92b07d41af}";

static_assert(sizeof(kModelGuid) == 38 + 1, "braces, 8-4-4-4-12 hex digits and four dashes");

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_MODEL_IDENTITY_H
