#include "trace/value_map_file.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "trace/json_file.h"
#include "trace/trace_error.h"

namespace tarvo::trace {

host::ValueMap readValueMap(const std::string& path) {
    const nlohmann::json document = readJsonFile(path);
    host::ValueMap map;
    try {
        map.instantiationToken = document.at("instantiationToken").get<std::string>();
        for (const nlohmann::json& item : document.at("variables")) {
            host::Fmi3Variable variable;
            variable.valueReference = item.at("valueReference").get<fmi3ValueReference>();
            variable.elements = item.at("elements").get<std::vector<fmi2ValueReference>>();
            map.variables.push_back(std::move(variable));
        }
    } catch (const nlohmann::json::exception& error) {
        throw TraceError(path + ": not a value map: " + error.what());
    }
    const std::string fault = host::valueMapFault(map);
    if (!fault.empty()) {
        throw TraceError(path + ": " + fault);
    }
    return map;
}

}  // namespace tarvo::trace
