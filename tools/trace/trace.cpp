// Trace tool: loads Tarvo_Unit.so with dlopen (Tarvo_Unit.dll with
// LoadLibrary on Windows) as any host does, runs one host scenario (JSON)
// and writes every recorded status and value as hexadecimal floats. With
// --compare it checks the result against an expected file and names the
// first record and value reference that differ.
//
// The expected values depend on the cos and sin the unit runs on, so each
// scenario has one expected file per known C library variant. With
// --expected-dir the tool picks NAME.expected[-VARIANT].json itself: for
// --cos-sin auto by the cos and sin of its own process, which the unit
// shares when it takes them from the C library; the portable unit brings its
// own and is compared with --cos-sin cr.
//
//   trace --library Tarvo_Unit.so SCENARIO.json [--output RESULT.json]
//         [--compare EXPECTED.json | --expected-dir DIR [--cos-sin VARIANT]]
//         [--values exact|report]
//         [--fmi3 VALUE_MAP.json [--save-state|--resume-state STATE --after-step K]]
//   trace --which-cos-sin
//   trace --library Tarvo_Unit.so --replay CALLS.jsonl     (replay.h)
//
// --values report compares a build whose cos and sin differ from those of
// the expected set: every status must be equal, and the values that differ
// are counted, with their distances in ulps.
//
// --fmi3 runs the scenario on the FMI 3.0 unit as a host of FMI 3.0 runs it
// (run_scenario_fmi3.h) and records what a run on the FMI 2.0 unit records:
// the 247 values in FMI 2.0's value-reference order, found by name through
// the value map (make_value_map.py), and the statuses the FMI 2.0 unit
// answers; for the step that stops at the stop time that is fmi2Error (3),
// where FMI 3.0 answers fmi3Discard with terminateSimulation. So it is
// compared with the FMI 2.0 unit's expected sets as they are.
// --save-state writes the unit's serialised state after step K (0: after
// initialisation) to a file; --resume-state sets such a state on a fresh
// instance after initialisation, records it as record K and goes on with
// step K + 1: the result holds the records from K on ("first_record": K),
// compared with the same records of the expected set.
//
// Exit status: 0 done (and equal), 1 results differ, 2 usage, input or
// loading error, 77 nothing compared: the C library matches no variant.
//
// Here the steps follow one another; each has a file of its own: the command
// line (trace_options), the scenario (scenario), the run (run_scenario,
// run_scenario_fmi3 with value_map_file), the result file (trace_result),
// the comparison (compare_results) and what is said about it (report).
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/unit_library.h"
#include "trace/compare_results.h"
#include "trace/cos_sin_variant.h"
#include "trace/replay.h"
#include "trace/report.h"
#include "trace/run_scenario.h"
#include "trace/run_scenario_fmi3.h"
#include "trace/scenario.h"
#include "trace/trace_error.h"
#include "trace/trace_options.h"
#include "trace/trace_result.h"
#include "trace/value_map_file.h"

namespace tarvo::trace {
namespace {

// Exit status when the expected values of this C library are unknown.
constexpr int kNothingCompared = 77;

// The expected file for the scenario in options.expectedDir: the variant
// named by --cos-sin, or for "auto" the one this process's C library
// matches. Empty when it matches none: nothing can be compared.
std::string chooseExpectedFile(const Options& options, const std::string& scenarioName) {
    const CosSinVariant found = fingerprintCosSin();
    const bool named = options.cosSin != "auto";
    const VariantName* chosen = named ? findVariantByOption(options.cosSin) : findVariant(found);
    if (chosen == nullptr && named) {
        throw UsageError("--cos-sin takes auto, fma, sse2 or cr, not " + options.cosSin);
    }
    if (chosen == nullptr) {
        reportNoKnownVariant(std::cout, scenarioName);
        return {};
    }
    reportExpectedVariant(std::cout, scenarioName, *chosen, named, found);
    return expectedFilePath(options.expectedDir, options.scenarioPath, *chosen);
}

void writeResultFile(const std::string& path, const TraceResult& result) {
    std::ofstream file(path);
    writeResult(file, result);
    if (!file.flush()) {
        throw TraceError("cannot write " + path);
    }
}

// The exit status: 0 equal, 1 differing. A resumed run is compared with
// the expected records from its first on.
int compareWithExpected(const Options& options, const TraceResult& result) {
    const TraceResult expected =
        recordsFrom(readResult(options.expectedPath), result.firstRecord);
    std::ostringstream report;
    if (options.reportValues) {
        const UlpComparison comparison = compareStatusesCountUlps(result, expected);
        reportUlpComparison(report, comparison, result, expected);
        (comparison.statusesEqual() ? std::cout : std::cerr)
            << result.name << ": " << report.str();
        return comparison.statusesEqual() ? 0 : 1;
    }
    const ExactComparison comparison = compareExactly(result, expected);
    if (!comparison.equal()) {
        reportExactComparison(report, comparison, result, expected);
        std::cerr << result.name << ": " << report.str();
        return 1;
    }
    std::cout << result.name << ": " << result.records.size() << " records ";
    if (result.firstRecord != 0) {
        std::cout << "from record " << result.firstRecord << " ";
    }
    std::cout << "equal " << options.expectedPath << '\n';
    return 0;
}

// The scenario on the library as its FMI version asks.
TraceResult runOnLibrary(const Options& options, const Scenario& scenario) {
    if (options.valueMapPath.empty()) {
        host::UnitLibrary unit;
        if (!unit.load(options.libraryPath)) {
            throw TraceError(unit.error());
        }
        return runScenario(unit.fmi2(), scenario);
    }
    const host::ValueMap map = readValueMap(options.valueMapPath);
    host::UnitLibrary unit;
    if (!unit.load(options.libraryPath, host::FmiVersion::fmi3)) {
        throw TraceError(unit.error());
    }
    StateFile state;
    if (!options.saveStatePath.empty()) {
        state = {StateFile::Use::save, options.saveStatePath, options.afterStep};
    } else if (!options.resumeStatePath.empty()) {
        state = {StateFile::Use::resume, options.resumeStatePath, options.afterStep};
    }
    return runScenarioFmi3(unit.fmi3(), map, scenario, state);
}

int run(int argc, char** argv) {
    Options options = parseOptions(argc, argv);
    if (options.whichCosSin) {
        reportCosSin(std::cout, fingerprintCosSin());
        return 0;
    }
    const Scenario scenario = readScenario(options.scenarioPath);
    // With no expected values for this C library the scenario still runs:
    // every call must complete, only the values go unchecked.
    bool nothingToCompare = false;
    if (!options.expectedDir.empty()) {
        options.expectedPath = chooseExpectedFile(options, scenario.name);
        nothingToCompare = options.expectedPath.empty();
    }
    const TraceResult result = runOnLibrary(options, scenario);

    if (!options.outputPath.empty()) {
        writeResultFile(options.outputPath, result);
    } else if (options.expectedPath.empty() && !nothingToCompare) {
        writeResult(std::cout, result);
    }
    if (nothingToCompare) {
        return kNothingCompared;
    }
    if (options.expectedPath.empty()) {
        return 0;
    }
    return compareWithExpected(options, result);
}

}  // namespace
}  // namespace tarvo::trace

int main(int argc, char** argv) {
    if (tarvo::trace::isReplayCommand(argc, argv)) {
        return tarvo::trace::replayMain(argc, argv);
    }
    try {
        return tarvo::trace::run(argc, argv);
    } catch (const tarvo::trace::UsageError& error) {
        std::cerr << "trace: " << error.what() << '\n' << tarvo::trace::kUsage;
    } catch (const std::exception& error) {
        std::cerr << "trace: " << error.what() << '\n';
    }
    return 2;
}
