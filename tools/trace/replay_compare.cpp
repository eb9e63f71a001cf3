#include "trace/replay_compare.h"

#include <cstddef>

namespace tarvo::trace {

std::string difference(const call_log::Json& line, const call_log::Json& got) {
    for (const auto& output : got.items()) {
        if (!line.contains(output.key())) {
            continue;
        }
        const call_log::Json& recorded = line.at(output.key());
        const call_log::Json& replayed = output.value();
        if (recorded == replayed) {
            continue;
        }
        if (recorded.is_array() && replayed.is_array() && recorded.size() == replayed.size()) {
            for (std::size_t i = 0; i < recorded.size(); ++i) {
                if (recorded[i] != replayed[i]) {
                    return output.key() + "[" + std::to_string(i) + "]: got " +
                           replayed[i].dump() + ", recorded " + recorded[i].dump();
                }
            }
        }
        return output.key() + ": got " + replayed.dump() + ", recorded " + recorded.dump();
    }
    return std::string();
}

}  // namespace tarvo::trace
