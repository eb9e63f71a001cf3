// What the runs of a scenario on either FMI version do alike: a failing
// call said on standard error, and the record after a call.
#ifndef TARVO_TOOLS_TRACE_SCENARIO_RECORD_H
#define TARVO_TOOLS_TRACE_SCENARIO_RECORD_H

#include <functional>
#include <string>

#include "fmi2/fmi2_types.h"
#include "host/model_values.h"
#include "trace/trace_result.h"

namespace tarvo::trace {

// "trace: CALL returned status S" unless the status is fmi2OK.
void warnIfFailed(fmi2Status status, const std::string& call);

// The record after a call that answered status: the status and all values
// as read gives them, bit for bit; no values after fmi2Fatal, when nothing
// may be called. A TraceError names readCall when the read fails.
Record takeRecord(fmi2Status status, const std::function<fmi2Status(host::ModelValues&)>& read,
                  const char* readCall);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_SCENARIO_RECORD_H
