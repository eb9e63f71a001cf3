// FMU states: copies of the model's state, in memory and as bytes. A state
// holds no pointer, so it fits any instance of the model, and its bytes
// restore to the same bits on any platform (runtime/state_bytes.h). Bytes
// that are not such a state are refused whole and change nothing.
#include "ieee/ieee_arithmetic.h"

#include <cstdlib>
#include <cstring>

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"
#include "runtime/model.h"
#include "runtime/state_bytes.h"

namespace tarvo::fmi3 {

namespace {

using runtime::ModelState;
using runtime::StateBytesCheck;

const char* reasonOf(StateBytesCheck check) {
    switch (check) {
        case StateBytesCheck::ok: return "";
        case StateBytesCheck::wrongLength:
            return "The bytes are not as long as a serialized state of this FMU.";
        case StateBytesCheck::notAState: return "The bytes are not a serialized FMU state.";
        case StateBytesCheck::otherVersion:
            return "The serialized state has a format version this FMU cannot read.";
        case StateBytesCheck::otherByteOrder:
            return "The serialized state has a byte order this FMU does not write.";
        case StateBytesCheck::otherModel:
            return "The serialized state belongs to another model or instantiation token.";
        case StateBytesCheck::damaged:
            return "The serialized state is damaged: its checksum does not match.";
        case StateBytesCheck::badValue:
            return "The serialized state holds a value that no state of this FMU has.";
    }
    return "";
}

// Puts state into the FMU state at FMUState: the one there, or a new one
// when it is null. False when no memory is left for a new one; the handle
// then stays null.
bool keepState(fmi3FMUState* FMUState, const ModelState& state) {
    if (*FMUState == nullptr) {
        *FMUState = std::calloc(1, sizeof(ModelState));
        if (*FMUState == nullptr) {
            return false;
        }
    }
    std::memcpy(*FMUState, &state, sizeof state);
    return true;
}

}  // namespace

}  // namespace tarvo::fmi3

namespace fmi3 = tarvo::fmi3;
namespace runtime = tarvo::runtime;
using tarvo::runtime::ModelState;

extern "C" {

// A state that is not null is an earlier state of this model and is
// overwritten in place.
FMI3_Export fmi3Status fmi3GetFMUState(fmi3Instance instance, fmi3FMUState* FMUState) {
    const fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr || FMUState == nullptr) {
        return fmi3Error;
    }
    if (!fmi3::keepState(FMUState, i->model.state)) {
        fmi3::logMessage(i->host, fmi3Error, fmi3::kSnapshotAllocationFailed);
        return fmi3Error;
    }
    return fmi3OK;
}

FMI3_Export fmi3Status fmi3SetFMUState(fmi3Instance instance, fmi3FMUState FMUState) {
    fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (FMUState == nullptr) {
        fmi3::logMessage(i->host, fmi3Error, fmi3::kSnapshotRestoreFailed);
        return fmi3Error;
    }
    std::memcpy(&i->model.state, FMUState, sizeof(ModelState));
    return fmi3OK;
}

// As in FMI 2.0: nothing to free is no failure, and a state is freed only
// for an instance.
FMI3_Export fmi3Status fmi3FreeFMUState(fmi3Instance instance, fmi3FMUState* FMUState) {
    if (FMUState == nullptr || *FMUState == nullptr) {
        return fmi3OK;
    }
    if (instance == nullptr) {
        return fmi3Error;
    }
    std::free(*FMUState);
    *FMUState = nullptr;
    return fmi3OK;
}

FMI3_Export fmi3Status fmi3SerializedFMUStateSize(fmi3Instance instance, fmi3FMUState FMUState,
                                                  size_t* size) {
    const fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (FMUState == nullptr || size == nullptr) {
        fmi3::logMessage(i->host, fmi3Error,
                         "fmi3SerializedFMUStateSize: No FMU state or no place for its size.");
        return fmi3Error;
    }
    *size = runtime::kStateBytesSize;
    return fmi3OK;
}

FMI3_Export fmi3Status fmi3SerializeFMUState(fmi3Instance instance, fmi3FMUState FMUState,
                                             fmi3Byte serializedState[], size_t size) {
    const fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (FMUState == nullptr || serializedState == nullptr) {
        fmi3::logMessage(i->host, fmi3Error,
                         "fmi3SerializeFMUState: No FMU state or no place for its bytes.");
        return fmi3Error;
    }
    if (size < runtime::kStateBytesSize) {
        fmi3::logMessage(i->host, fmi3Error,
                         "fmi3SerializeFMUState: %llu bytes are too few for a serialized state "
                         "of %llu.",
                         static_cast<unsigned long long>(size),
                         static_cast<unsigned long long>(runtime::kStateBytesSize));
        return fmi3Error;
    }
    uint8_t bytes[runtime::kStateBytesSize];
    runtime::writeStateBytes(*static_cast<const ModelState*>(FMUState), bytes);
    std::memcpy(serializedState, bytes, sizeof bytes);
    return fmi3OK;
}

// A state that is not null is overwritten in place, and only when the bytes
// are a state of this model; otherwise nothing changes.
FMI3_Export fmi3Status fmi3DeserializeFMUState(fmi3Instance instance,
                                               const fmi3Byte serializedState[], size_t size,
                                               fmi3FMUState* FMUState) {
    const fmi3::Instance* const i = fmi3::instanceOf(instance);
    if (i == nullptr) {
        return fmi3Error;
    }
    if (FMUState == nullptr) {
        fmi3::logMessage(i->host, fmi3Error,
                         "fmi3DeserializeFMUState: No place for the FMU state.");
        return fmi3Error;
    }
    ModelState read{};
    const runtime::StateBytesCheck check = runtime::readStateBytes(serializedState, size, read);
    if (check != runtime::StateBytesCheck::ok) {
        fmi3::logMessage(i->host, fmi3Error, "fmi3DeserializeFMUState: %s",
                         fmi3::reasonOf(check));
        return fmi3Error;
    }
    if (!fmi3::keepState(FMUState, read)) {
        fmi3::logMessage(i->host, fmi3Error,
                         "fmi3DeserializeFMUState: Out of memory for the FMU state.");
        return fmi3Error;
    }
    return fmi3OK;
}

}  // extern "C"
