#include "trace/scenario_record.h"

#include <cstdio>

#include "host/hex_float.h"
#include "trace/trace_error.h"

namespace tarvo::trace {

void warnIfFailed(fmi2Status status, const std::string& call) {
    if (status != fmi2OK) {
        std::fprintf(stderr, "trace: %s returned status %d\n", call.c_str(),
                     static_cast<int>(status));
    }
}

Record takeRecord(fmi2Status status, const std::function<fmi2Status(host::ModelValues&)>& read,
                  const char* readCall) {
    Record record;
    record.status = static_cast<int>(status);
    if (status == fmi2Fatal) {
        return record;
    }
    host::ModelValues values;
    const fmi2Status readStatus = read(values);
    if (readStatus != fmi2OK) {
        throw TraceError(std::string(readCall) + " returned status " +
                         std::to_string(static_cast<int>(readStatus)));
    }
    for (double value : values) {
        record.values.push_back(host::formatHexFloat(value));
    }
    return record;
}

}  // namespace tarvo::trace
