// Who this unit is to a host: the model name and the GUID that
// fmi2Instantiate checks and the model description declares.
#ifndef TARVO_FMI_MODEL_IDENTITY_H
#define TARVO_FMI_MODEL_IDENTITY_H

namespace tarvo::fmi {

constexpr const char kModelName[] = "Tarvo_Unit";
constexpr const char kModelGuid[] = "{3f1c9a52-7b4e-4d08-a6c3-5e92b07d41af}";

static_assert(sizeof(kModelGuid) == 38 + 1, "braces, 8-4-4-4-12 hex digits and four dashes");

}  // namespace tarvo::fmi

#endif  // TARVO_FMI_MODEL_IDENTITY_H
