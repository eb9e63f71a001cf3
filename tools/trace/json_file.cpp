#include "trace/json_file.h"

#include <fstream>

#include "trace/trace_error.h"

namespace tarvo::trace {

nlohmann::json readJsonFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        throw TraceError("cannot open " + path);
    }
    try {
        return nlohmann::json::parse(file);
    } catch (const nlohmann::json::exception& error) {
        throw TraceError(path + ": " + error.what());
    }
}

}  // namespace tarvo::trace
