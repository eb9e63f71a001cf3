#include "trace/scenario.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "host/hex_float.h"
#include "trace/json_file.h"
#include "trace/trace_error.h"

namespace tarvo::trace {
namespace {

using nlohmann::json;

double readValue(const json& item, const std::string& where) {
    if (item.is_number()) {
        return item.get<double>();
    }
    double value = 0.0;
    if (item.is_string() && host::parseHexFloat(item.get<std::string>(), value)) {
        return value;
    }
    throw TraceError(
        where + ": expected a number, \"nan\", \"inf\", \"-inf\" or a hexadecimal float, got " +
        item.dump());
}

std::vector<SetCall> readSets(const json& list, const std::string& where) {
    if (!list.is_array()) {
        throw TraceError(where + ": expected a list of [value reference, value] pairs");
    }
    std::vector<SetCall> sets;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& pair = list[i];
        const std::string at = where + "[" + std::to_string(i) + "]";
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_unsigned() ||
            pair[0].get<std::uint64_t>() > std::numeric_limits<fmi2ValueReference>::max()) {
            throw TraceError(at + ": expected [value reference, value], got " + pair.dump());
        }
        sets.push_back({pair[0].get<fmi2ValueReference>(), readValue(pair[1], at)});
    }
    return sets;
}

const json& member(const json& object, const char* key, const std::string& where) {
    if (!object.is_object() || !object.contains(key)) {
        throw TraceError(where + ": missing \"" + key + "\"");
    }
    return object.at(key);
}

}  // namespace

Scenario readScenario(const std::string& path) {
    const json document = readJsonFile(path);
    Scenario scenario;
    const json& name = member(document, "name", path);
    if (!name.is_string()) {
        throw TraceError(path + ": \"name\" must be a string");
    }
    scenario.name = name.get<std::string>();

    const json& setup = member(document, "setup", path);
    scenario.startTime = readValue(member(setup, "startTime", "setup"), "setup.startTime");
    const json& stopTimeDefined = member(setup, "stopTimeDefined", "setup");
    if (stopTimeDefined.is_boolean()) {
        scenario.stopTimeDefined = stopTimeDefined.get<bool>();
    } else if (stopTimeDefined.is_number_integer()) {
        scenario.stopTimeDefined = stopTimeDefined.get<long long>() != 0;
    } else {
        throw TraceError("setup.stopTimeDefined: expected 0, 1 or a boolean");
    }
    scenario.stopTime = readValue(member(setup, "stopTime", "setup"), "setup.stopTime");

    scenario.initSets = readSets(member(document, "init_sets", path), "init_sets");
    const json& steps = member(document, "steps", path);
    if (!steps.is_array()) {
        throw TraceError(path + ": \"steps\" must be a list");
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::string at = "steps[" + std::to_string(i) + "]";
        Step step;
        step.sets = readSets(member(steps[i], "sets", at), at + ".sets");
        step.communicationPoint = readValue(member(steps[i], "t", at), at + ".t");
        step.stepSize = readValue(member(steps[i], "h", at), at + ".h");
        scenario.steps.push_back(std::move(step));
    }
    return scenario;
}

}  // namespace tarvo::trace
