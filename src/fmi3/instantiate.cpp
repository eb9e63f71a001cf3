// Creating and freeing instances, the version and the logging switch.
// FMI 3.0 gives no allocator: the instance comes from the C library's.
#include "ieee/ieee_arithmetic.h"

#include <cstdlib>
#include <cstring>

#include "fmi3/fmi3_functions.h"
#include "fmi3/instance.h"
#include "fmi3/logging.h"
#include "runtime/model_identity.h"
#include "runtime/model_runtime.h"

namespace tarvo::fmi3 {

namespace {

bool isEmpty(const char* text) {
    return text == nullptr || text[0] == '\0';
}

// A copy of text from the C library's allocator, or null.
char* copyOf(const char* text) {
    const size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

void releaseInstance(Instance* instance) {
    std::free(instance->host.resourcePath);
    std::free(instance->host.instanceName);
    std::free(instance);
}

}  // namespace

}  // namespace tarvo::fmi3

namespace fmi3 = tarvo::fmi3;
namespace runtime = tarvo::runtime;

extern "C" {

FMI3_Export const char* fmi3GetVersion(void) {
    return fmi3Version;
}

// Every message is always sent: there is nothing to switch.
FMI3_Export fmi3Status fmi3SetDebugLogging(fmi3Instance instance, fmi3Boolean /*loggingOn*/,
                                           size_t /*nCategories*/,
                                           const fmi3String /*categories*/[]) {
    return instance == nullptr ? fmi3Error : fmi3OK;
}

// The checks of an FMI 2.0 instantiation, in its order, in FMI 3.0's terms.
// Visible, loggingOn, eventModeUsed and earlyReturnAllowed change nothing:
// the unit neither shows anything, nor filters messages, nor has events, nor
// returns early; it has no intermediate variables to update.
FMI3_Export fmi3Instance fmi3InstantiateCoSimulation(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String resourcePath,
    fmi3Boolean /*visible*/, fmi3Boolean /*loggingOn*/, fmi3Boolean /*eventModeUsed*/,
    fmi3Boolean /*earlyReturnAllowed*/,
    const fmi3ValueReference /*requiredIntermediateVariables*/[],
    size_t /*nRequiredIntermediateVariables*/, fmi3InstanceEnvironment instanceEnvironment,
    fmi3LogMessageCallback logMessage, fmi3IntermediateUpdateCallback /*intermediateUpdate*/) {
    const fmi3::HostBinding host{instanceEnvironment, logMessage, nullptr, nullptr};
    if (fmi3::isEmpty(instanceName)) {
        fmi3::logMessage(host, fmi3Error, fmi3::kMissingInstanceName);
        return nullptr;
    }
    if (fmi3::isEmpty(instantiationToken)) {
        fmi3::logMessage(host, fmi3Error, fmi3::kMissingToken);
        return nullptr;
    }
    if (std::strcmp(instantiationToken, runtime::kModelGuid) != 0) {
        fmi3::logMessage(host, fmi3Error, fmi3::kWrongToken, instantiationToken,
                         runtime::kModelGuid);
        return nullptr;
    }
    auto* instance = static_cast<fmi3::Instance*>(std::calloc(1, sizeof(fmi3::Instance)));
    if (instance == nullptr) {
        fmi3::logMessage(host, fmi3Error, fmi3::kOutOfMemoryInstance);
        return nullptr;
    }
    instance->host = host;
    instance->host.instanceName = fmi3::copyOf(instanceName);
    if (instance->host.instanceName == nullptr) {
        fmi3::logMessage(host, fmi3Error, fmi3::kOutOfMemoryName);
        std::free(instance);
        return nullptr;
    }
    // The start values come with the instance: a host sets its own before
    // initialisation, and entering it keeps them.
    runtime::resetModel(instance->model);
    runtime::loadStartValues(instance->model);
    // A path that cannot be copied is left out; nothing reads it.
    if (!fmi3::isEmpty(resourcePath)) {
        instance->host.resourcePath = fmi3::copyOf(resourcePath);
    }
    return instance;
}

FMI3_Export fmi3Instance fmi3InstantiateModelExchange(
    fmi3String /*instanceName*/, fmi3String /*instantiationToken*/, fmi3String /*resourcePath*/,
    fmi3Boolean /*visible*/, fmi3Boolean /*loggingOn*/,
    fmi3InstanceEnvironment instanceEnvironment, fmi3LogMessageCallback logMessage) {
    fmi3::logMessage({instanceEnvironment, logMessage, nullptr, nullptr}, fmi3Error,
                     fmi3::kModelExchangeRefused);
    return nullptr;
}

FMI3_Export fmi3Instance fmi3InstantiateScheduledExecution(
    fmi3String /*instanceName*/, fmi3String /*instantiationToken*/, fmi3String /*resourcePath*/,
    fmi3Boolean /*visible*/, fmi3Boolean /*loggingOn*/,
    fmi3InstanceEnvironment instanceEnvironment, fmi3LogMessageCallback logMessage,
    fmi3ClockUpdateCallback /*clockUpdate*/, fmi3LockPreemptionCallback /*lockPreemption*/,
    fmi3UnlockPreemptionCallback /*unlockPreemption*/) {
    fmi3::logMessage({instanceEnvironment, logMessage, nullptr, nullptr}, fmi3Error,
                     fmi3::kScheduledExecutionRefused);
    return nullptr;
}

FMI3_Export void fmi3FreeInstance(fmi3Instance instance) {
    if (instance != nullptr) {
        fmi3::releaseInstance(fmi3::instanceOf(instance));
    }
}

}  // extern "C"
