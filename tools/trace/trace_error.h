// The faults that end a trace or a replay with exit status 2 (input that
// cannot be read, a unit that cannot be loaded or used, a malformed command
// line), and a call that a replay cannot make again.
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

// A call that cannot be made again as the host made it (a handle that was
// never handed out, or already freed; a count no array can hold): counts as
// a difference, and the replay goes on.
struct CannotReplay : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_ERROR_H
