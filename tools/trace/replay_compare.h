// A replayed call's outputs against those of its line in the log.
#ifndef TARVO_TOOLS_TRACE_REPLAY_COMPARE_H
#define TARVO_TOOLS_TRACE_REPLAY_COMPARE_H

#include <string>

#include "trace/call_log.h"

namespace tarvo::trace {

// The first output that differs, as "KEY[i]: got X, recorded Y", or an
// empty string. Outputs the log does not hold (the host did not get them
// either) are not compared.
std::string difference(const call_log::Json& line, const call_log::Json& got);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAY_COMPARE_H
