#include "trace/run_scenario.h"

#include <string>
#include <vector>

#include "host/callbacks.h"
#include "host/unit_calls.h"
#include "trace/scenario_record.h"
#include "trace/trace_error.h"

namespace tarvo::trace {
namespace {

void applySets(const host::Fmi2Api& unit, fmi2Component instance,
               const std::vector<SetCall>& sets) {
    for (const SetCall& set : sets) {
        warnIfFailed(host::setReal(unit, instance, set.valueReference, set.value),
                     "fmi2SetReal(" + std::to_string(set.valueReference) + ")");
    }
}

Record takeRecord(const host::Fmi2Api& unit, fmi2Component instance, fmi2Status status) {
    return trace::takeRecord(
        status,
        [&](host::ModelValues& values) { return host::readAllValues(unit, instance, values); },
        "fmi2GetReal");
}

}  // namespace

TraceResult runScenario(const host::Fmi2Api& unit, const Scenario& scenario) {
    const fmi2CallbackFunctions callbacks = host::stderrCallbacks(scenario.name.c_str());
    fmi2Component instance = host::instantiate(unit, scenario.name.c_str(), callbacks);
    if (instance == nullptr) {
        throw TraceError("fmi2Instantiate returned no instance");
    }

    TraceResult result;
    result.name = scenario.name;
    warnIfFailed(unit.fmi2SetupExperiment(instance, fmi2False, 0.0, scenario.startTime,
                                          scenario.stopTimeDefined ? fmi2True : fmi2False,
                                          scenario.stopTime),
                 "fmi2SetupExperiment");
    warnIfFailed(unit.fmi2EnterInitializationMode(instance), "fmi2EnterInitializationMode");
    applySets(unit, instance, scenario.initSets);
    fmi2Status status = unit.fmi2ExitInitializationMode(instance);
    result.records.push_back(takeRecord(unit, instance, status));

    for (const Step& step : scenario.steps) {
        if (status == fmi2Fatal) {
            break;
        }
        applySets(unit, instance, step.sets);
        status = unit.fmi2DoStep(instance, step.communicationPoint, step.stepSize, fmi2True);
        result.records.push_back(takeRecord(unit, instance, status));
    }
    if (status == fmi2Fatal) {
        return result;
    }
    warnIfFailed(unit.fmi2Terminate(instance), "fmi2Terminate");
    unit.fmi2FreeInstance(instance);
    return result;
}

}  // namespace tarvo::trace
