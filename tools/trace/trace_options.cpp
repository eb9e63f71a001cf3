#include "trace/trace_options.h"

#include <cstdlib>

#include "trace/trace_error.h"

namespace tarvo::trace {

const char kUsage[] =
    "usage: trace --library Tarvo_Unit.so SCENARIO.json [--output RESULT.json]\n"
    "             [--compare EXPECTED.json | --expected-dir DIR [--cos-sin auto|fma|sse2|cr]]\n"
    "             [--values exact|report]\n"
    "             [--fmi3 VALUE_MAP.json [--save-state|--resume-state STATE --after-step K]]\n"
    "       trace --which-cos-sin\n";

namespace {

// A step number: decimal digits only.
std::size_t parseStep(const std::string& text) {
    char* end = nullptr;
    const unsigned long long step = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        *end != '\0' || step > 1000000000ull) {
        throw UsageError("--after-step takes a step number, not " + text);
    }
    return static_cast<std::size_t>(step);
}

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options options;
    bool stepGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "--library" || argument == "--output" ||
                                argument == "--compare" || argument == "--expected-dir" ||
                                argument == "--cos-sin" || argument == "--values" ||
                                argument == "--fmi3" || argument == "--save-state" ||
                                argument == "--resume-state" || argument == "--after-step";
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
        } else if (argument == "--fmi3") {
            options.valueMapPath = argv[++i];
        } else if (argument == "--save-state") {
            options.saveStatePath = argv[++i];
        } else if (argument == "--resume-state") {
            options.resumeStatePath = argv[++i];
        } else if (argument == "--after-step") {
            options.afterStep = parseStep(argv[++i]);
            stepGiven = true;
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
    const bool statesUsed = !options.saveStatePath.empty() || !options.resumeStatePath.empty();
    if (statesUsed && options.valueMapPath.empty()) {
        throw UsageError(
            "--save-state and --resume-state need --fmi3: FMI 2.0 has no state "
            "as bytes here");
    }
    if (!options.saveStatePath.empty() && !options.resumeStatePath.empty()) {
        throw UsageError("--save-state and --resume-state exclude each other");
    }
    if (statesUsed != stepGiven) {
        throw UsageError("--after-step goes with --save-state or --resume-state");
    }
    return options;
}

}  // namespace tarvo::trace
