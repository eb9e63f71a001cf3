#include "ieee/ieee_arithmetic.h"

#include "fmi2/logging.h"

#include "runtime/model_identity.h"

namespace tarvo::fmi2 {

namespace {

constexpr const char kErrorCategory[] = "error";

bool canLog(const fmi2CallbackFunctions* functions) {
    return functions != nullptr && functions->logger != nullptr;
}

}  // namespace

void logError(const fmi2CallbackFunctions* functions, const char* instanceName,
              const char* message) {
    if (canLog(functions)) {
        functions->logger(functions->componentEnvironment, instanceName, fmi2Error,
                          kErrorCategory, message);
    }
}

void logWrongGuid(const fmi2CallbackFunctions* functions, const char* instanceName,
                  const char* givenGuid) {
    if (canLog(functions)) {
        functions->logger(functions->componentEnvironment, instanceName, fmi2Error,
                          kErrorCategory, kWrongGuid, givenGuid, runtime::kModelGuid);
    }
}

void logFinishTimeExceeded(const fmi2CallbackFunctions* functions, const char* instanceName,
                           double currentTime, double stopTime) {
    if (canLog(functions)) {
        functions->logger(functions->componentEnvironment, instanceName, fmi2Error,
                          kErrorCategory, kFinishTimeExceeded, currentTime, stopTime);
    }
}

}  // namespace tarvo::fmi2
