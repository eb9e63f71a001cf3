#include "trace/run_scenario_fmi3.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/callbacks.h"
#include "host/fmi3_unit.h"
#include "trace/scenario_record.h"
#include "trace/trace_error.h"

namespace tarvo::trace {
namespace {

void applySets(host::Fmi3Unit& unit, const std::vector<SetCall>& sets) {
    for (const SetCall& set : sets) {
        warnIfFailed(
            unit.setReal(set.valueReference, set.value),
            "fmi3SetFloat64 of FMI 2.0 value reference " + std::to_string(set.valueReference));
    }
}

Record takeRecord(host::Fmi3Unit& unit, fmi2Status status) {
    return trace::takeRecord(
        status, [&](host::ModelValues& values) { return unit.readAllValues(values); },
        "fmi3GetFloat64");
}

// The state as the unit serialises it, to the file as it is.
void saveState(host::Fmi3Unit& unit, const std::string& path) {
    fmi3FMUState state = nullptr;
    std::vector<std::uint8_t> bytes;
    const bool taken =
        unit.getState(state) == fmi2OK && unit.serializeState(state, bytes) == fmi3OK;
    unit.freeState(state);
    if (!taken) {
        throw TraceError("the state could not be taken and serialised");
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        throw TraceError("cannot write " + path);
    }
}

// The state in the file, deserialised and set: the status of
// fmi3SetFMUState, or of fmi3DeserializeFMUState when that refuses it.
fmi2Status resumeState(host::Fmi3Unit& unit, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw TraceError("cannot open " + path);
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    fmi3FMUState state = nullptr;
    const fmi3Status read = unit.deserializeState(bytes, state);
    if (read != fmi3OK) {
        warnIfFailed(host::fmi2StatusOf(read), "fmi3DeserializeFMUState of " + path);
        return host::fmi2StatusOf(read);
    }
    const fmi2Status set = unit.setState(state);
    unit.freeState(state);
    return set;
}

}  // namespace

TraceResult runScenarioFmi3(const host::Fmi3Api& api, const host::ValueMap& map,
                            const Scenario& scenario, const StateFile& state) {
    if (state.use != StateFile::Use::none && state.afterStep > scenario.steps.size()) {
        throw TraceError("--after-step " + std::to_string(state.afterStep) + ": " +
                         scenario.name + " has " + std::to_string(scenario.steps.size()) +
                         " steps");
    }
    host::Fmi3Unit unit(api, map);
    if (!unit.instantiate(scenario.name.c_str(), const_cast<char*>(scenario.name.c_str()),
                          host::logFmi3ToStderr)) {
        throw TraceError("fmi3InstantiateCoSimulation returned no instance");
    }

    TraceResult result;
    result.name = scenario.name;
    warnIfFailed(
        unit.enterInitialisation(scenario.startTime, scenario.stopTimeDefined, scenario.stopTime),
        "fmi3EnterInitializationMode");
    applySets(unit, scenario.initSets);
    fmi2Status status = unit.exitInitialisation();
    std::size_t step = 0;
    if (state.use == StateFile::Use::resume) {
        warnIfFailed(status, "fmi3ExitInitializationMode");
        status = resumeState(unit, state.path);
        step = state.afterStep;
        result.firstRecord = step;
    }
    result.records.push_back(takeRecord(unit, status));
    const auto saveIfDue = [&] {
        if (state.use == StateFile::Use::save && step == state.afterStep && status != fmi2Fatal) {
            saveState(unit, state.path);
        }
    };
    saveIfDue();

    while (step < scenario.steps.size() && status != fmi2Fatal) {
        const Step& next = scenario.steps[step++];
        applySets(unit, next.sets);
        status = unit.doStep(next.communicationPoint, next.stepSize);
        result.records.push_back(takeRecord(unit, status));
        saveIfDue();
    }
    if (status == fmi2Fatal) {
        unit.abandon();
        return result;
    }
    warnIfFailed(unit.terminate(), "fmi3Terminate");
    return result;
}

}  // namespace tarvo::trace
