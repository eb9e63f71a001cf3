// The trace tool's command line (trace.cpp says what each option does).
#ifndef TARVO_TOOLS_TRACE_TRACE_OPTIONS_H
#define TARVO_TOOLS_TRACE_TRACE_OPTIONS_H

#include <string>

namespace tarvo::trace {

struct Options {
    std::string libraryPath;
    std::string scenarioPath;
    std::string outputPath;    // empty: standard output
    std::string expectedPath;  // empty: no comparison, or chosen in expectedDir
    std::string expectedDir;   // empty: --compare or no comparison
    std::string cosSin = "auto";
    bool reportValues = false;  // --values report: statuses exact, value differences counted
    bool whichCosSin = false;
};

extern const char kUsage[];

// A UsageError says what is wrong.
Options parseOptions(int argc, char** argv);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_OPTIONS_H
