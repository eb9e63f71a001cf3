#include "trace/replay_handles.h"

#include "trace/trace_error.h"

namespace tarvo::trace {

void* Handles::find(const std::string& recorded, const char* what) const {
    if (recorded == call_log::kNullHandle) {
        return nullptr;
    }
    const auto found = bound_.find(recorded);
    if (found == bound_.end()) {
        throw CannotReplay(std::string("the host passed ") + what + " " + recorded +
                           ", which the unit never handed out or had freed");
    }
    return found->second;
}

call_log::Json Handles::match(const std::string& recorded, void* ours) {
    using call_log::Json;
    if (ours == nullptr || recorded == call_log::kNullHandle) {
        return ours == nullptr ? Json(call_log::kNullHandle) : Json("a handle, not a null one");
    }
    const auto found = bound_.find(recorded);
    if (found != bound_.end()) {
        return found->second == ours ? Json(recorded) : Json("another handle than before");
    }
    for (const auto& known : bound_) {
        if (known.second == ours) {
            return "the handle recorded as " + known.first;
        }
    }
    bound_[recorded] = ours;
    return recorded;
}

std::vector<void*> Handles::takeAll() {
    std::vector<void*> all;
    for (const auto& known : bound_) {
        all.push_back(known.second);
    }
    bound_.clear();
    return all;
}

}  // namespace tarvo::trace
