// The trace tool's command line (trace.cpp says what each option does).
#ifndef TARVO_TOOLS_TRACE_TRACE_OPTIONS_H
#define TARVO_TOOLS_TRACE_TRACE_OPTIONS_H

#include <cstddef>
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
    // --fmi3: the library is the FMI 3.0 unit, its values found through
    // this value map (value_map_file.h).
    std::string valueMapPath;
    // FMI 3.0 only: the state after step afterStep written to a file, or
    // the run resumed from such a file.
    std::string saveStatePath;
    std::string resumeStatePath;
    std::size_t afterStep = 0;
};

extern const char kUsage[];

// A UsageError says what is wrong.
Options parseOptions(int argc, char** argv);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_TRACE_OPTIONS_H
