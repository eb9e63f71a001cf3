#include "host/fmi3_unit.h"

namespace tarvo::host {

static_assert(static_cast<int>(fmi3OK) == static_cast<int>(fmi2OK) &&
                  static_cast<int>(fmi3Warning) == static_cast<int>(fmi2Warning) &&
                  static_cast<int>(fmi3Discard) == static_cast<int>(fmi2Discard) &&
                  static_cast<int>(fmi3Error) == static_cast<int>(fmi2Error) &&
                  static_cast<int>(fmi3Fatal) == static_cast<int>(fmi2Fatal),
              "the statuses have the same numbers in both versions");

fmi2Status fmi2StatusOf(fmi3Status status) {
    return static_cast<fmi2Status>(status);
}

Fmi3Unit::Fmi3Unit(const Fmi3Api& api, const ValueMap& map)
    : api_(api), instantiationToken_(map.instantiationToken), locations_(kValueCount) {
    for (std::size_t v = 0; v < map.variables.size(); ++v) {
        const Fmi3Variable& variable = map.variables[v];
        references_.push_back(variable.valueReference);
        elementCounts_.push_back(variable.elements.size());
        for (std::size_t e = 0; e < variable.elements.size(); ++e) {
            order_.push_back(variable.elements[e]);
            if (variable.elements[e] < kValueCount) {
                locations_[variable.elements[e]] = {v, e};
            }
        }
    }
    scratch_.resize(order_.size());
}

Fmi3Unit::~Fmi3Unit() {
    if (instance_ != nullptr) {
        api_.fmi3FreeInstance(instance_);
    }
}

bool Fmi3Unit::instantiate(const char* name, fmi3InstanceEnvironment environment,
                           fmi3LogMessageCallback logMessage) {
    if (instance_ != nullptr) {
        api_.fmi3FreeInstance(instance_);
    }
    instance_ = api_.fmi3InstantiateCoSimulation(name, instantiationToken_.c_str(), "/tmp/res/",
                                                 fmi3False, fmi3False, fmi3False, fmi3False,
                                                 nullptr, 0, environment, logMessage, nullptr);
    return instance_ != nullptr;
}

fmi2Status Fmi3Unit::enterInitialisation(double startTime, bool stopTimeDefined,
                                         double stopTime) {
    return fmi2StatusOf(api_.fmi3EnterInitializationMode(
        instance_, fmi3False, 0.0, startTime, stopTimeDefined ? fmi3True : fmi3False, stopTime));
}

fmi2Status Fmi3Unit::exitInitialisation() {
    return fmi2StatusOf(api_.fmi3ExitInitializationMode(instance_));
}

fmi2Status Fmi3Unit::terminate() {
    return fmi2StatusOf(api_.fmi3Terminate(instance_));
}

fmi2Status Fmi3Unit::reset() {
    return fmi2StatusOf(api_.fmi3Reset(instance_));
}

fmi2Status Fmi3Unit::setReal(fmi2ValueReference vr, double value) {
    if (vr >= kValueCount) {
        return fmi2Error;
    }
    const Location at = locations_[vr];
    const fmi3ValueReference reference = references_[at.variable];
    const std::size_t count = elementCounts_[at.variable];
    if (count == 1) {
        return fmi2StatusOf(api_.fmi3SetFloat64(instance_, &reference, 1, &value, 1));
    }
    const fmi3Status read = api_.fmi3GetFloat64(instance_, &reference, 1, scratch_.data(), count);
    if (read != fmi3OK) {
        return fmi2StatusOf(read);
    }
    scratch_[at.element] = value;
    return fmi2StatusOf(api_.fmi3SetFloat64(instance_, &reference, 1, scratch_.data(), count));
}

fmi2Status Fmi3Unit::getReal(fmi2ValueReference vr, double& value) {
    if (vr >= kValueCount) {
        return fmi2Error;
    }
    const Location at = locations_[vr];
    const fmi3ValueReference reference = references_[at.variable];
    const fmi3Status status = api_.fmi3GetFloat64(instance_, &reference, 1, scratch_.data(),
                                                  elementCounts_[at.variable]);
    if (status == fmi3OK) {
        value = scratch_[at.element];
    }
    return fmi2StatusOf(status);
}

fmi2Status Fmi3Unit::readAllValues(ModelValues& values) {
    const fmi3Status status = api_.fmi3GetFloat64(
        instance_, references_.data(), references_.size(), scratch_.data(), scratch_.size());
    if (status == fmi3OK) {
        for (std::size_t i = 0; i < order_.size(); ++i) {
            values[order_[i]] = scratch_[i];
        }
    }
    return fmi2StatusOf(status);
}

fmi2Status Fmi3Unit::doStep(double communicationPoint, double stepSize) {
    fmi3Boolean eventHandlingNeeded = fmi3False;
    fmi3Boolean terminateSimulation = fmi3False;
    fmi3Boolean earlyReturn = fmi3False;
    double lastSuccessfulTime = 0.0;
    const fmi3Status status =
        api_.fmi3DoStep(instance_, communicationPoint, stepSize, fmi3True, &eventHandlingNeeded,
                        &terminateSimulation, &earlyReturn, &lastSuccessfulTime);
    if (status == fmi3Discard && terminateSimulation) {
        return fmi2Error;
    }
    return fmi2StatusOf(status);
}

fmi2Status Fmi3Unit::getState(fmi3FMUState& state) {
    return fmi2StatusOf(api_.fmi3GetFMUState(instance_, &state));
}

fmi2Status Fmi3Unit::setState(fmi3FMUState state) {
    return fmi2StatusOf(api_.fmi3SetFMUState(instance_, state));
}

fmi2Status Fmi3Unit::freeState(fmi3FMUState& state) {
    return fmi2StatusOf(api_.fmi3FreeFMUState(instance_, &state));
}

fmi3Status Fmi3Unit::serializeState(fmi3FMUState state, std::vector<std::uint8_t>& bytes) {
    std::size_t size = 0;
    const fmi3Status sized = api_.fmi3SerializedFMUStateSize(instance_, state, &size);
    if (sized != fmi3OK) {
        return sized;
    }
    bytes.assign(size, 0);
    return api_.fmi3SerializeFMUState(instance_, state, bytes.data(), bytes.size());
}

fmi3Status Fmi3Unit::deserializeState(const std::vector<std::uint8_t>& bytes,
                                      fmi3FMUState& state) {
    return api_.fmi3DeserializeFMUState(instance_, bytes.data(), bytes.size(), &state);
}

}  // namespace tarvo::host
