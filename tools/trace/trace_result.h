// The result of a scenario: one record after initialisation and one after
// every step, each the call's status and all values as hexadecimal floats;
// and its file form, which the expected results of tests/vectors share. A
// run resumed from a saved state holds the records from that state's on.
#ifndef TARVO_TOOLS_TRACE_TRACE_RESULT_H
#define TARVO_TOOLS_TRACE_TRACE_RESULT_H

#include <cstddef>
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
    std::size_t firstRecord = 0;  // the number of records[0]
    std::vector<Record> records;
};

// One record a line, as the expected files are written; "first_record"
// only when it is not 0.
void writeResult(std::ostream& out, const TraceResult& result);

// A TraceError names the file when it is not a result.
TraceResult readResult(const std::string& path);

// The records of result from record number first on, to compare with a
// resumed run; none when it holds no such record.
TraceResult recordsFrom(const TraceResult& result, std::size_t first);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_RESULT_H
