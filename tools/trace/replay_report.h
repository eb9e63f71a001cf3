// What a replay says: the first differences as they come, on standard
// error, and one line for the whole log at the end.
#ifndef TARVO_TOOLS_TRACE_REPLAY_REPORT_H
#define TARVO_TOOLS_TRACE_REPLAY_REPORT_H

#include <cstddef>
#include <map>
#include <string>
#include <utility>

namespace tarvo::trace {

class ReplayReport {
public:
    explicit ReplayReport(std::string logPath) : logPath_(std::move(logPath)) {}

    // One call made again; differs is empty when it gave what the log
    // holds. where names the line ("calls.jsonl:12").
    void call(const std::string& where, const std::string& name, const std::string& differs);

    // The closing line, and the instances the host left alive; returns the
    // exit status: 0 every call identical, 1 a call differs.
    int finish(std::size_t leftInstances) const;

private:
    std::string logPath_;
    std::map<std::string, std::size_t> calls_;  // by name, for the closing line
    std::size_t callCount_ = 0;
    std::size_t differing_ = 0;
};

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAY_REPORT_H
