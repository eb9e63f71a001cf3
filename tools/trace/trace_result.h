// The result of a scenario: one record after initialisation and one after
// every step, each the call's status and all values as hexadecimal floats;
// and its file form, which the expected results of tests/vectors share.
#ifndef TARVO_TOOLS_TRACE_TRACE_RESULT_H
#define TARVO_TOOLS_TRACE_TRACE_RESULT_H

#include <ostream>
#include <string>
#include <vector>

namespace tarvo::trace {

struct Record {
    int status = 0;
    std::vector<std::string> values;  // empty after fmi2Fatal: nothing may be called
};

struct TraceResult {
    std::string name;
    std::vector<Record> records;
};

// One record a line, as the expected files are written.
void writeResult(std::ostream& out, const TraceResult& result);

// A TraceError names the file when it is not a result.
TraceResult readResult(const std::string& path);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_RESULT_H
