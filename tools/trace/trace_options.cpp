#include "trace/trace_options.h"

#include "trace/trace_error.h"

namespace tarvo::trace {

const char kUsage[] =
    "usage: trace --library Tarvo_Unit.so SCENARIO.json [--output RESULT.json]\n"
    "             [--compare EXPECTED.json | --expected-dir DIR [--cos-sin auto|fma|sse2|cr]]\n"
    "             [--values exact|report]\n"
    "       trace --which-cos-sin\n";

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "--library" || argument == "--output" ||
                                argument == "--compare" || argument == "--expected-dir" ||
                                argument == "--cos-sin" || argument == "--values";
        if (takesValue && i + 1 >= argc) {
            throw UsageError(argument + " needs a value");
        }
        if (argument == "--which-cos-sin") {
            options.whichCosSin = true;
        } else if (argument == "--expected-dir") {
            options.expectedDir = argv[++i];
        } else if (argument == "--cos-sin") {
            options.cosSin = argv[++i];
        } else if (argument == "--values") {
            const std::string mode = argv[++i];
            if (mode != "exact" && mode != "report") {
                throw UsageError("--values takes exact or report, not " + mode);
            }
            options.reportValues = mode == "report";
        } else if (argument == "--library") {
            options.libraryPath = argv[++i];
        } else if (argument == "--output") {
            options.outputPath = argv[++i];
        } else if (argument == "--compare") {
            options.expectedPath = argv[++i];
        } else if (argument.rfind("--", 0) == 0 || !options.scenarioPath.empty()) {
            throw UsageError("unexpected argument " + argument);
        } else {
            options.scenarioPath = argument;
        }
    }
    if (options.whichCosSin) {
        return options;
    }
    if (options.libraryPath.empty() || options.scenarioPath.empty()) {
        throw UsageError("a library and a scenario are required");
    }
    if (!options.expectedPath.empty() && !options.expectedDir.empty()) {
        throw UsageError("--compare and --expected-dir exclude each other");
    }
    return options;
}

}  // namespace tarvo::trace
