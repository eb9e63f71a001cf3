// Makes the calls of a call log again on a loaded unit, one line at a time,
// with the instances and snapshots it makes bound to those of the log.
// Whatever the log leaves alive is freed when the replayer goes.
#ifndef TARVO_TOOLS_TRACE_REPLAYER_H
#define TARVO_TOOLS_TRACE_REPLAYER_H

#include <cstddef>
#include <memory>

#include "host/fmi_api.h"
#include "trace/call_log.h"

namespace tarvo::trace {

class Replayer {
public:
    explicit Replayer(const host::Fmi2Api& unit);
    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;
    ~Replayer();

    // Makes the call of one line again; the outputs it got, in the log's
    // encoding, for comparison with the line. A TraceError when the line
    // cannot be read, a CannotReplay when the call cannot be made as the
    // host made it.
    call_log::Json replay(const call_log::Json& line);

    // Instances the log made and never freed.
    std::size_t leftInstances() const;

private:
    class Calls;  // one member function per FMI function
    std::unique_ptr<Calls> calls_;
};

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAYER_H
