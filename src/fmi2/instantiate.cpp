// Creating and freeing instances.
#include "ieee/ieee_arithmetic.h"

#include <cstring>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance.h"
#include "fmi2/logging.h"
#include "fmi2/resource_location.h"
#include "runtime/model_identity.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi2 {

namespace {

bool isEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

static_assert(sizeof(fmi2Type) == sizeof(int), "the type crosses the boundary as int");

// The host may pass any int as the type; read it as one rather than load an
// enum value outside its range.
bool isCoSimulation(const fmi2Type& fmuType) {
    int value = 0;
    std::memcpy(&value, &fmuType, sizeof value);
    return value == fmi2CoSimulation;
}

void releaseInstance(Instance* instance) {
    const fmi2CallbackFunctions* const functions = instance->host.functions;
    if (instance->host.resourcePath != nullptr) {
        functions->freeMemory(instance->host.resourcePath);
        instance->host.resourcePath = nullptr;
    }
    if (instance->host.instanceName != nullptr) {
        functions->freeMemory(instance->host.instanceName);
        instance->host.instanceName = nullptr;
    }
    functions->freeMemory(instance);
}

}  // namespace

}  // namespace tarvo::fmi2

namespace fmi2 = tarvo::fmi2;
namespace runtime = tarvo::runtime;

extern "C" {

FMI2_Export fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType,
                                          fmi2String fmuGUID, fmi2String fmuResourceLocation,
                                          const fmi2CallbackFunctions* functions,
                                          fmi2Boolean /*visible*/, fmi2Boolean /*loggingOn*/) {
    if (functions == nullptr || functions->logger == nullptr) {
        return nullptr;  // nobody to tell
    }
    if (fmi2::isEmpty(instanceName)) {
        fmi2::logError(functions, fmi2::kUnnamedInstance, fmi2::kMissingInstanceName);
        return nullptr;
    }
    if (functions->allocateMemory == nullptr || functions->freeMemory == nullptr) {
        fmi2::logError(functions, instanceName, fmi2::kMissingMemoryCallback);
        return nullptr;
    }
    if (fmi2::isEmpty(fmuGUID)) {
        fmi2::logError(functions, instanceName, fmi2::kMissingGuid);
        return nullptr;
    }
    if (std::strcmp(fmuGUID, runtime::kModelGuid) != 0) {
        fmi2::logWrongGuid(functions, instanceName, fmuGUID);
        return nullptr;
    }

    auto* instance =
        static_cast<fmi2::Instance*>(functions->allocateMemory(1, fmi2::kBlockBytes));
    if (instance == nullptr) {
        fmi2::logError(functions, instanceName, fmi2::kOutOfMemoryInstance);
        return nullptr;
    }
    std::memset(instance, 0, sizeof *instance);
    instance->host.functions = functions;

    const size_t nameSize = std::strlen(instanceName) + 1;
    instance->host.instanceName = static_cast<char*>(functions->allocateMemory(nameSize, 1));
    if (instance->host.instanceName == nullptr) {
        fmi2::logError(functions, instanceName, fmi2::kOutOfMemoryName);
        functions->freeMemory(instance);
        return nullptr;
    }
    std::memcpy(instance->host.instanceName, instanceName, nameSize);

    runtime::resetModel(instance->model);
    // A location that cannot be converted leaves the path null; not a failure.
    instance->host.resourcePath = fmi2::convertResourceLocation(functions, fmuResourceLocation);

    if (!fmi2::isCoSimulation(fmuType)) {
        fmi2::logError(functions, instanceName, fmi2::kCoSimulationOnly);
        fmi2::releaseInstance(instance);
        return nullptr;
    }
    return instance;
}

FMI2_Export void fmi2FreeInstance(fmi2Component c) {
    fmi2::Instance* const instance = fmi2::instanceOf(c);
    if (instance != nullptr) {
        fmi2::releaseInstance(instance);
    }
}

FMI2_Export fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean /*loggingOn*/,
                                           size_t /*nCategories*/,
                                           const fmi2String /*categories*/[]) {
    // Every message is always sent: there is nothing to switch.
    return c == nullptr ? fmi2Error : fmi2OK;
}

}  // extern "C"
