// The handles of a call log (addresses in the recording process) bound to
// the handles the replay made at the same calls: one set for instances,
// one for snapshots.
#ifndef TARVO_TOOLS_TRACE_REPLAY_HANDLES_H
#define TARVO_TOOLS_TRACE_REPLAY_HANDLES_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "trace/call_log.h"

namespace tarvo::trace {

class Handles {
public:
    // The replay's handle for a recorded one the host passed in; a
    // CannotReplay when the unit never handed it out or had freed it.
    void* find(const std::string& recorded, const char* what) const;

    // A handle the unit gave back where the log shows `recorded`: `recorded`
    // itself when ours corresponds (binding it if it is new), else a
    // description of ours for the difference.
    call_log::Json match(const std::string& recorded, void* ours);

    bool contains(const std::string& recorded) const { return bound_.count(recorded) != 0; }
    void forget(const std::string& recorded) { bound_.erase(recorded); }

    // Every handle still bound, and unbinds them all.
    std::vector<void*> takeAll();

    std::size_t size() const { return bound_.size(); }

private:
    std::map<std::string, void*> bound_;
};

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAY_HANDLES_H
