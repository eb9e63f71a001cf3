// A JSON document read whole from a file, for the scenarios and the result
// files of the trace tool.
#ifndef TARVO_TOOLS_TRACE_JSON_FILE_H
#define TARVO_TOOLS_TRACE_JSON_FILE_H

#include <nlohmann/json.hpp>
#include <string>

namespace tarvo::trace {

// Throws a TraceError that names the file when it cannot be opened or is
// not JSON.
nlohmann::json readJsonFile(const std::string& path);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_JSON_FILE_H
