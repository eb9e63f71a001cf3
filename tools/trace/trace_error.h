// The faults that end a trace with exit status 2: input that cannot be
// read, a unit that cannot be loaded or used, a malformed command line.
#ifndef TARVO_TOOLS_TRACE_TRACE_ERROR_H
#define TARVO_TOOLS_TRACE_TRACE_ERROR_H

#include <stdexcept>

namespace tarvo::trace {

struct TraceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A malformed command line; answered with the usage text.
struct UsageError : TraceError {
    using TraceError::TraceError;
};

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_ERROR_H
