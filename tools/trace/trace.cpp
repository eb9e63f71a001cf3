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
//   trace --which-cos-sin
//   trace --library Tarvo_Unit.so --replay CALLS.jsonl     (replay.h)
//
// --values report compares a build whose cos and sin differ from those of
// the expected set: every status must be equal, and the values that differ
// are counted, with their distances in ulps.
//
// Exit status: 0 done (and equal), 1 results differ, 2 usage, input or
// loading error, 77 nothing compared: the C library matches no variant.

#include "fmi2/fmi2_functions.h"
#include "host/callbacks.h"
#include "host/hex_float.h"
#include "host/unit_calls.h"
#include "host/unit_library.h"
#include "matrix/scalar.h"
#include "runtime/model_variables.h"
#include "trace/libm_fingerprint.h"
#include "trace/replay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::trace {
namespace {

using host::Fmi2Api;
using host::formatHexFloat;
using host::parseHexFloat;
using nlohmann::json;

// A fault in the input or in loading the unit; ends the run with status 2.
struct TraceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A malformed command line; answered with the usage text.
struct UsageError : TraceError {
    using TraceError::TraceError;
};

// The cos and sin variants the expected results were produced with.
enum class CosSinVariant {
    glibcFma,
    glibcSse2,
    correctlyRounded,
    unknown
};

struct VariantName {
    CosSinVariant variant;
    const char* option;       // for --cos-sin
    const char* fileSuffix;   // NAME.expected<suffix>.json
    const char* description;  // for reports
};

constexpr VariantName kVariantNames[] = {
    {CosSinVariant::glibcFma, "fma", "", "glibc with FMA (x86-64 with FMA, aarch64)"},
    {CosSinVariant::glibcSse2, "sse2", "-sse2", "glibc without FMA"},
    {CosSinVariant::correctlyRounded, "cr", "-cr", "correctly rounded"},
};

const VariantName* findVariant(CosSinVariant variant) {
    for (const VariantName& name : kVariantNames) {
        if (name.variant == variant) {
            return &name;
        }
    }
    return nullptr;
}

// The C library's cos and sin of this process, taken as the unit takes
// them, against the known variants. The arguments go through a volatile so
// that the compiler cannot evaluate the calls itself.
CosSinVariant fingerprintCosSin() {
    bool matches[3] = {true, true, true};
    for (const FingerprintArgument& argument : kLibmFingerprint) {
        volatile double x = argument.x;
        const double cosine = matrix::cLibraryCos(x);
        const double sine = matrix::cLibrarySin(x);
        const CosSin known[3] = {argument.fma, argument.sse2, argument.cr};
        for (int k = 0; k < 3; ++k) {
            matches[k] = matches[k] && cosine == known[k].cosine && sine == known[k].sine;
        }
    }
    if (matches[0]) {
        return CosSinVariant::glibcFma;
    }
    if (matches[1]) {
        return CosSinVariant::glibcSse2;
    }
    return matches[2] ? CosSinVariant::correctlyRounded : CosSinVariant::unknown;
}

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

struct SetCall {
    fmi2ValueReference valueReference = 0;
    double value = 0.0;
};

struct Step {
    std::vector<SetCall> sets;
    double communicationPoint = 0.0;
    double stepSize = 0.0;
};

struct Scenario {
    std::string name;
    double startTime = 0.0;
    bool stopTimeDefined = false;
    double stopTime = 0.0;
    std::vector<SetCall> initSets;
    std::vector<Step> steps;
};

struct Record {
    int status = 0;
    std::vector<std::string> values;  // empty after fmi2Fatal: nothing may be called
};

struct TraceResult {
    std::string name;
    std::vector<Record> records;
};

// ---------------------------------------------------------------------------
// Scenario input

double readValue(const json& item, const std::string& where) {
    if (item.is_number()) {
        return item.get<double>();
    }
    double value = 0.0;
    if (item.is_string() && parseHexFloat(item.get<std::string>(), value)) {
        return value;
    }
    throw TraceError(
        where + ": expected a number, \"nan\", \"inf\", \"-inf\" or a hexadecimal float, got " +
        item.dump());
}

std::vector<SetCall> readSets(const json& list, const std::string& where) {
    if (!list.is_array()) {
        throw TraceError(where + ": expected a list of [value reference, value] pairs");
    }
    std::vector<SetCall> sets;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& pair = list[i];
        const std::string at = where + "[" + std::to_string(i) + "]";
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_unsigned() ||
            pair[0].get<std::uint64_t>() > std::numeric_limits<fmi2ValueReference>::max()) {
            throw TraceError(at + ": expected [value reference, value], got " + pair.dump());
        }
        sets.push_back({pair[0].get<fmi2ValueReference>(), readValue(pair[1], at)});
    }
    return sets;
}

const json& member(const json& object, const char* key, const std::string& where) {
    if (!object.is_object() || !object.contains(key)) {
        throw TraceError(where + ": missing \"" + key + "\"");
    }
    return object.at(key);
}

json readJsonFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        throw TraceError("cannot open " + path);
    }
    try {
        return json::parse(file);
    } catch (const json::exception& error) {
        throw TraceError(path + ": " + error.what());
    }
}

Scenario readScenario(const std::string& path) {
    const json document = readJsonFile(path);
    Scenario scenario;
    const json& name = member(document, "name", path);
    if (!name.is_string()) {
        throw TraceError(path + ": \"name\" must be a string");
    }
    scenario.name = name.get<std::string>();

    const json& setup = member(document, "setup", path);
    scenario.startTime = readValue(member(setup, "startTime", "setup"), "setup.startTime");
    const json& stopTimeDefined = member(setup, "stopTimeDefined", "setup");
    if (stopTimeDefined.is_boolean()) {
        scenario.stopTimeDefined = stopTimeDefined.get<bool>();
    } else if (stopTimeDefined.is_number_integer()) {
        scenario.stopTimeDefined = stopTimeDefined.get<long long>() != 0;
    } else {
        throw TraceError("setup.stopTimeDefined: expected 0, 1 or a boolean");
    }
    scenario.stopTime = readValue(member(setup, "stopTime", "setup"), "setup.stopTime");

    scenario.initSets = readSets(member(document, "init_sets", path), "init_sets");
    const json& steps = member(document, "steps", path);
    if (!steps.is_array()) {
        throw TraceError(path + ": \"steps\" must be a list");
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::string at = "steps[" + std::to_string(i) + "]";
        Step step;
        step.sets = readSets(member(steps[i], "sets", at), at + ".sets");
        step.communicationPoint = readValue(member(steps[i], "t", at), at + ".t");
        step.stepSize = readValue(member(steps[i], "h", at), at + ".h");
        scenario.steps.push_back(std::move(step));
    }
    return scenario;
}

// ---------------------------------------------------------------------------
// The scenario run on the unit

void warnIfFailed(fmi2Status status, const std::string& call) {
    if (status != fmi2OK) {
        std::fprintf(stderr, "trace: %s returned status %d\n", call.c_str(),
                     static_cast<int>(status));
    }
}

void applySets(const Fmi2Api& unit, fmi2Component instance, const std::vector<SetCall>& sets) {
    for (const SetCall& set : sets) {
        warnIfFailed(host::setReal(unit, instance, set.valueReference, set.value),
                     "fmi2SetReal(" + std::to_string(set.valueReference) + ")");
    }
}

Record takeRecord(const Fmi2Api& unit, fmi2Component instance, fmi2Status status) {
    Record record;
    record.status = static_cast<int>(status);
    if (status == fmi2Fatal) {
        return record;
    }
    host::ModelValues values;
    const fmi2Status readStatus = host::readAllValues(unit, instance, values);
    if (readStatus != fmi2OK) {
        throw TraceError("fmi2GetReal returned status " +
                         std::to_string(static_cast<int>(readStatus)));
    }
    for (double value : values) {
        record.values.push_back(formatHexFloat(value));
    }
    return record;
}

// The host sequence: instantiate, set up, initialise with the initial
// writes, then per step its writes and one fmi2DoStep, a record after
// initialisation and after every step. A failing step is recorded and the
// run goes on; after fmi2Fatal nothing more is called.
TraceResult runScenario(const Fmi2Api& unit, const Scenario& scenario) {
    const fmi2CallbackFunctions callbacks = host::stderrCallbacks(scenario.name.c_str());
    fmi2Component instance = host::instantiate(unit, scenario.name.c_str(), callbacks);
    if (instance == nullptr) {
        throw TraceError("fmi2Instantiate returned no instance");
    }

    TraceResult result;
    result.name = scenario.name;
    warnIfFailed(unit.fmi2SetupExperiment(instance, fmi2False, 0.0, scenario.startTime,
                                          scenario.stopTimeDefined ? fmi2True : fmi2False,
                                          scenario.stopTime),
                 "fmi2SetupExperiment");
    warnIfFailed(unit.fmi2EnterInitializationMode(instance), "fmi2EnterInitializationMode");
    applySets(unit, instance, scenario.initSets);
    fmi2Status status = unit.fmi2ExitInitializationMode(instance);
    result.records.push_back(takeRecord(unit, instance, status));

    for (const Step& step : scenario.steps) {
        if (status == fmi2Fatal) {
            break;
        }
        applySets(unit, instance, step.sets);
        status = unit.fmi2DoStep(instance, step.communicationPoint, step.stepSize, fmi2True);
        result.records.push_back(takeRecord(unit, instance, status));
    }
    if (status == fmi2Fatal) {
        return result;
    }
    warnIfFailed(unit.fmi2Terminate(instance), "fmi2Terminate");
    unit.fmi2FreeInstance(instance);
    return result;
}

// ---------------------------------------------------------------------------
// Result output and comparison

void writeResult(std::ostream& out, const TraceResult& result) {
    out << "{\"name\": " << json(result.name).dump() << ",\n \"records\": [";
    for (std::size_t k = 0; k < result.records.size(); ++k) {
        const Record& record = result.records[k];
        out << (k == 0 ? "\n" : ",\n") << "   {\"status\": " << record.status
            << ", \"values\": [";
        for (std::size_t i = 0; i < record.values.size(); ++i) {
            out << (i == 0 ? "\"" : ", \"") << record.values[i] << '"';
        }
        out << "]}";
    }
    out << "\n ]}\n";
}

TraceResult readResult(const std::string& path) {
    const json document = readJsonFile(path);
    TraceResult result;
    try {
        result.name = document.at("name").get<std::string>();
        for (const json& item : document.at("records")) {
            Record record;
            record.status = item.at("status").get<int>();
            record.values = item.at("values").get<std::vector<std::string>>();
            result.records.push_back(std::move(record));
        }
    } catch (const json::exception& error) {
        throw TraceError(path + ": not a result file: " + error.what());
    }
    return result;
}

// "V[135] channelA.input" for the first input: where the value lives in
// the model data, and its name in the variable table.
std::string describeValueReference(std::size_t vr) {
    struct Section {
        const char* prefix;
        std::size_t first;
        std::size_t count;
    };
    static constexpr Section sections[] = {
        {"C", runtime::kConstantsStart, runtime::kConstantCount},
        {"P", runtime::kParametersStart, runtime::kParameterCount},
        {"IV", runtime::kInitialValuesStart, runtime::kInitialValueCount},
        {"V", runtime::kVariablesStart, runtime::kVariableCount},
        {"S", runtime::kStatesStart, runtime::kStateCount},
        {"R", runtime::kRatesStart, runtime::kRateCount}};
    if (vr >= runtime::kModelDataSize) {
        return "beyond the model data";
    }
    const std::string name = runtime::kModelVariables[vr].name;
    for (const Section& section : sections) {
        if (vr >= section.first && vr < section.first + section.count) {
            return std::string(section.prefix) + "[" + std::to_string(vr - section.first) + "] " +
                   name;
        }
    }
    return name;
}

std::string describeRecord(std::size_t k) {
    return k == 0 ? "record 0 (after initialisation)"
                  : "record " + std::to_string(k) + " (after step " + std::to_string(k) + ")";
}

// Exit status when the expected values of this C library are unknown.
constexpr int kNothingCompared = 77;

// Prints the first difference and a count of the rest; true when equal.
bool compareResults(const TraceResult& actual, const TraceResult& expected, std::ostream& out) {
    if (actual.name != expected.name) {
        out << "name differs: got " << json(actual.name).dump() << ", expected "
            << json(expected.name).dump() << '\n';
        return false;
    }
    bool reported = false;
    std::size_t differingRecords = 0;
    const std::size_t common = std::min(actual.records.size(), expected.records.size());
    for (std::size_t k = 0; k < common; ++k) {
        const Record& got = actual.records[k];
        const Record& want = expected.records[k];
        std::size_t differingValues = 0;
        std::string first;
        if (got.status != want.status) {
            first = "status " + std::to_string(got.status) + ", expected " +
                    std::to_string(want.status);
        }
        const std::size_t valueCount = std::max(got.values.size(), want.values.size());
        for (std::size_t vr = 0; vr < valueCount; ++vr) {
            const std::string gotValue = vr < got.values.size() ? got.values[vr] : "(missing)";
            const std::string wantValue = vr < want.values.size() ? want.values[vr] : "(missing)";
            if (gotValue == wantValue) {
                continue;
            }
            ++differingValues;
            if (first.empty()) {
                first = "value reference " + std::to_string(vr) + " (" +
                        describeValueReference(vr) + "): got " + gotValue + ", expected " +
                        wantValue;
            }
        }
        if (first.empty()) {
            continue;
        }
        ++differingRecords;
        if (!reported) {
            out << "first difference in " << describeRecord(k) << ": " << first << "; "
                << differingValues << " of " << valueCount << " values differ in this record\n";
            reported = true;
        }
    }
    if (actual.records.size() != expected.records.size()) {
        out << actual.records.size() << " records, expected " << expected.records.size() << '\n';
        return false;
    }
    if (reported) {
        out << differingRecords << " of " << expected.records.size() << " records differ\n";
        return false;
    }
    return true;
}

// Distance in units in the last place between two doubles: the number of
// steps from one to the other through consecutive doubles. +0 and -0 count
// as one apart; NaN against a number gives -1 (not comparable).
int64_t ulpDistance(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b) ? 0 : -1;
    }
    if (a == 0.0 && b == 0.0) {
        return std::signbit(a) == std::signbit(b) ? 0 : 1;
    }
    // Doubles ordered as integers: the negative ones mirrored below zero.
    const auto ordered = [](double x) {
        int64_t bits = 0;
        std::memcpy(&bits, &x, sizeof bits);
        return bits < 0 ? std::numeric_limits<int64_t>::min() - bits : bits;
    };
    const int64_t first = ordered(a);
    const int64_t second = ordered(b);
    // Both lie within +-2^63 of zero, so the difference of two such values
    // fits once taken as unsigned.
    const uint64_t distance = first > second
                                  ? static_cast<uint64_t>(first) - static_cast<uint64_t>(second)
                                  : static_cast<uint64_t>(second) - static_cast<uint64_t>(first);
    return distance > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
               ? std::numeric_limits<int64_t>::max()
               : static_cast<int64_t>(distance);
}

// For a build whose cos and sin are known to differ from the expected set's
// (the C library of another platform): every status must be the expected
// one, the values may differ; how many and by how many ulps is reported.
// True when the records and their statuses are equal.
bool compareStatusesReportValues(const TraceResult& actual, const TraceResult& expected,
                                 std::ostream& out) {
    if (actual.name != expected.name || actual.records.size() != expected.records.size()) {
        out << "got " << actual.records.size() << " records of " << json(actual.name).dump()
            << ", expected " << expected.records.size() << " of " << json(expected.name).dump()
            << '\n';
        return false;
    }
    std::size_t differingStatuses = 0;
    std::size_t differingRecords = 0;
    std::size_t differingValues = 0;
    std::size_t notComparable = 0;
    std::size_t valueCount = 0;
    int64_t largest = 0;
    std::size_t largestAt = 0;
    std::size_t largestRecord = 0;
    // Differences of 1 ulp, then 2-15, 16-255, ... by powers of 16.
    std::vector<std::size_t> histogram(17, 0);
    for (std::size_t k = 0; k < expected.records.size(); ++k) {
        const Record& got = actual.records[k];
        const Record& want = expected.records[k];
        if (got.status != want.status) {
            if (differingStatuses++ == 0) {
                out << describeRecord(k) << ": status " << got.status << ", expected "
                    << want.status << '\n';
            }
        }
        if (got.values.size() != want.values.size()) {
            out << describeRecord(k) << ": " << got.values.size() << " values, expected "
                << want.values.size() << '\n';
            return false;
        }
        bool recordDiffers = false;
        for (std::size_t vr = 0; vr < got.values.size(); ++vr) {
            ++valueCount;
            if (got.values[vr] == want.values[vr]) {
                continue;
            }
            recordDiffers = true;
            ++differingValues;
            double a = 0.0;
            double b = 0.0;
            if (!parseHexFloat(got.values[vr], a) || !parseHexFloat(want.values[vr], b)) {
                throw TraceError("not a hexadecimal float in record " + std::to_string(k));
            }
            const int64_t distance = ulpDistance(a, b);
            if (distance < 0) {
                ++notComparable;
                continue;
            }
            std::size_t bucket = 0;
            if (distance > 1) {
                bucket = 1;
                while (bucket < 16 &&
                       (uint64_t{1} << (4 * bucket)) <= static_cast<uint64_t>(distance)) {
                    ++bucket;
                }
            }
            ++histogram[bucket];
            if (distance > largest) {
                largest = distance;
                largestAt = vr;
                largestRecord = k;
            }
        }
        differingRecords += recordDiffers ? 1 : 0;
    }
    out << "statuses " << (differingStatuses == 0 ? "equal" : "DIFFER") << " in "
        << expected.records.size() << " records; values differ in " << differingRecords
        << " records, " << differingValues << " of " << valueCount << " values";
    if (differingValues > 0) {
        out << "; largest " << largest << " ulps (" << describeValueReference(largestAt) << ", "
            << describeRecord(largestRecord) << "); ulps:";
        const char* separator = " ";
        for (std::size_t bucket = 0; bucket < histogram.size(); ++bucket) {
            if (histogram[bucket] == 0) {
                continue;
            }
            out << separator;
            separator = ", ";
            if (bucket == 0) {
                out << "1";
            } else if (bucket == 1) {
                out << "2-15";
            } else if (bucket <= 3) {
                out << (uint64_t{1} << (4 * (bucket - 1))) << '-'
                    << (uint64_t{1} << (4 * bucket)) - 1;
            } else {
                out << "2^" << 4 * (bucket - 1) << "-2^" << 4 * bucket;
            }
            out << ": " << histogram[bucket];
        }
        if (notComparable > 0) {
            out << ", NaN against a number: " << notComparable;
        }
    }
    out << '\n';
    return differingStatuses == 0;
}

// ---------------------------------------------------------------------------

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

// The expected file for the scenario in options.expectedDir: the variant
// named by --cos-sin, or for "auto" the one this process's C library
// matches. Empty when it matches none: nothing can be compared.
std::string chooseExpectedFile(const Options& options, const std::string& scenarioName) {
    const CosSinVariant found = fingerprintCosSin();
    const VariantName* chosen = nullptr;
    if (options.cosSin == "auto") {
        chosen = findVariant(found);
        if (chosen == nullptr) {
            std::cout << scenarioName
                      << ": this C library's cos and sin match none of the tested variants "
                         "(glibc with FMA, glibc without FMA, correctly rounded): nothing "
                         "compared for this build; the portable build is exact everywhere\n";
            return {};
        }
    } else {
        for (const VariantName& name : kVariantNames) {
            if (options.cosSin == name.option) {
                chosen = &name;
            }
        }
        if (chosen == nullptr) {
            throw UsageError("--cos-sin takes auto, fma, sse2 or cr, not " + options.cosSin);
        }
    }
    std::string base = options.scenarioPath;
    const std::size_t slash = base.find_last_of('/');
    base = base.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() > 5 && base.compare(base.size() - 5, 5, ".json") == 0) {
        base.resize(base.size() - 5);
    }
    std::cout << scenarioName << ": expected values of " << chosen->description;
    if (options.cosSin != "auto" && found != chosen->variant) {
        const VariantName* actual = findVariant(found);
        std::cout << " (this process's C library: "
                  << (actual != nullptr ? actual->description : "none of the known variants")
                  << ")";
    }
    std::cout << '\n';
    return options.expectedDir + "/" + base + ".expected" + chosen->fileSuffix + ".json";
}

int run(int argc, char** argv) {
    Options options = parseOptions(argc, argv);
    if (options.whichCosSin) {
        const VariantName* variant = findVariant(fingerprintCosSin());
        std::cout << (variant != nullptr ? variant->option : "unknown") << ": "
                  << (variant != nullptr ? variant->description
                                         : "none of the variants the vectors were made for")
                  << '\n';
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
    host::UnitLibrary unit;
    if (!unit.load(options.libraryPath)) {
        throw TraceError(unit.error());
    }
    const TraceResult result = runScenario(unit.fmi2(), scenario);

    if (!options.outputPath.empty()) {
        std::ofstream file(options.outputPath);
        writeResult(file, result);
        if (!file.flush()) {
            throw TraceError("cannot write " + options.outputPath);
        }
    } else if (options.expectedPath.empty() && !nothingToCompare) {
        writeResult(std::cout, result);
    }
    if (nothingToCompare) {
        return kNothingCompared;
    }
    if (options.expectedPath.empty()) {
        return 0;
    }
    const TraceResult expected = readResult(options.expectedPath);
    std::ostringstream report;
    if (options.reportValues) {
        const bool statusesEqual = compareStatusesReportValues(result, expected, report);
        (statusesEqual ? std::cout : std::cerr) << scenario.name << ": " << report.str();
        return statusesEqual ? 0 : 1;
    }
    if (!compareResults(result, expected, report)) {
        std::cerr << scenario.name << ": " << report.str();
        return 1;
    }
    std::cout << scenario.name << ": " << result.records.size() << " records equal "
              << options.expectedPath << '\n';
    return 0;
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
