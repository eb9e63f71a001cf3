#include "trace/replay_report.h"

#include <iostream>

namespace tarvo::trace {
namespace {

constexpr std::size_t kDifferencesShown = 10;

}  // namespace

void ReplayReport::call(const std::string& where, const std::string& name,
                        const std::string& differs) {
    ++calls_[name];
    ++callCount_;
    if (!differs.empty() && ++differing_ <= kDifferencesShown) {
        std::cerr << where << ": " << name << ": " << differs << '\n';
    }
}

int ReplayReport::finish(std::size_t leftInstances) const {
    std::string counts;
    for (const auto& call : calls_) {
        counts += (counts.empty() ? "" : ", ") + call.first + " " + std::to_string(call.second);
    }
    if (differing_ != 0) {
        std::cerr << logPath_ << ": " << differing_ << " of " << callCount_ << " calls differ ("
                  << counts << ")\n";
        return 1;
    }
    std::cout << logPath_ << ": " << callCount_
              << " calls replayed, every status and value identical (" << counts << ")\n";
    if (leftInstances != 0) {
        std::cout << leftInstances << " instances were left alive by the host\n";
    }
    return 0;
}

}  // namespace tarvo::trace
