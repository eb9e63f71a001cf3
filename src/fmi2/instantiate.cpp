// Creating and freeing instances.
#include "ieee/ieee_arithmetic.h"

#include <cstring>

#include "fmi2/fmi2_functions.h"
#include "fmi2/instance_state.h"
#include "fmi2/logging.h"
#include "fmi2/resource_location.h"
#include "runtime/model_identity.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi {

void enterInstantiationState(ModelInstance& instance) {
    const fmi2CallbackFunctions* const functions = instance.functions;
    char* const instanceName = instance.instanceName;
    char* const resourcePath = instance.resourcePath;

    std::memset(&instance, 0, sizeof instance);
    instance.functions = functions;
    instance.instanceName = instanceName;
    instance.resourcePath = resourcePath;
    instance.startTime = 0.0;
    instance.stopTime = 0.0;
    instance.stopTimeDefined = 0;
    instance.stepSize = kInternalStepSize;
    instance.currentTime = 0.0;
    instance.evaluationCount = 0;
    instance.initialPhase = 1;
    instance.majorStep = 1;
    instance.stopRequested = 0;
    instance.parametersChanged = 0;
    instance.initializationRunning = 0;
    // The views too, so that evaluating the model before set-up works on the
    // zero data instead of through null views.
    runtime::bindSectionsAndViews(instance);
}

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

void releaseInstance(ModelInstance* instance) {
    const fmi2CallbackFunctions* const functions = instance->functions;
    if (instance->resourcePath != nullptr) {
        functions->freeMemory(instance->resourcePath);
        instance->resourcePath = nullptr;
    }
    if (instance->instanceName != nullptr) {
        functions->freeMemory(instance->instanceName);
        instance->instanceName = nullptr;
    }
    functions->freeMemory(instance);
}

}  // namespace

}  // namespace tarvo::fmi

using tarvo::ModelInstance;
namespace fmi = tarvo::fmi;

extern "C" {

FMI2_Export fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType,
                                          fmi2String fmuGUID, fmi2String fmuResourceLocation,
                                          const fmi2CallbackFunctions* functions,
                                          fmi2Boolean /*visible*/, fmi2Boolean /*loggingOn*/) {
    if (functions == nullptr || functions->logger == nullptr) {
        return nullptr;  // nobody to tell
    }
    if (fmi::isEmpty(instanceName)) {
        fmi::logError(functions, fmi::kUnnamedInstance, fmi::kMissingInstanceName);
        return nullptr;
    }
    if (functions->allocateMemory == nullptr || functions->freeMemory == nullptr) {
        fmi::logError(functions, instanceName, fmi::kMissingMemoryCallback);
        return nullptr;
    }
    if (fmi::isEmpty(fmuGUID)) {
        fmi::logError(functions, instanceName, fmi::kMissingGuid);
        return nullptr;
    }
    if (std::strcmp(fmuGUID, fmi::kModelGuid) != 0) {
        fmi::logWrongGuid(functions, instanceName, fmuGUID);
        return nullptr;
    }

    auto* instance =
        static_cast<ModelInstance*>(functions->allocateMemory(1, sizeof(ModelInstance)));
    if (instance == nullptr) {
        fmi::logError(functions, instanceName, fmi::kOutOfMemoryInstance);
        return nullptr;
    }
    std::memset(instance, 0, sizeof *instance);
    instance->functions = functions;

    const size_t nameSize = std::strlen(instanceName) + 1;
    instance->instanceName = static_cast<char*>(functions->allocateMemory(nameSize, 1));
    if (instance->instanceName == nullptr) {
        fmi::logError(functions, instanceName, fmi::kOutOfMemoryName);
        functions->freeMemory(instance);
        return nullptr;
    }
    std::memcpy(instance->instanceName, instanceName, nameSize);

    fmi::enterInstantiationState(*instance);
    // A location that cannot be converted leaves the path null; not a failure.
    instance->resourcePath = fmi::convertResourceLocation(instance, fmuResourceLocation);

    if (!fmi::isCoSimulation(fmuType)) {
        fmi::logError(functions, instanceName, fmi::kCoSimulationOnly);
        fmi::releaseInstance(instance);
        return nullptr;
    }
    return instance;
}

FMI2_Export void fmi2FreeInstance(fmi2Component c) {
    ModelInstance* const instance = fmi::toModelInstance(c);
    if (instance != nullptr) {
        fmi::releaseInstance(instance);
    }
}

FMI2_Export fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean /*loggingOn*/,
                                           size_t /*nCategories*/,
                                           const fmi2String /*categories*/[]) {
    // Every message is always sent: there is nothing to switch.
    return c == nullptr ? fmi2Error : fmi2OK;
}

}  // extern "C"
