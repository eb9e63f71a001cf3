// Writes the unit's modelDescription.xml and its documentation page from the
// variable table, the defaults and the model identity, so that what a host
// reads can never drift from what the library does.
//
//   generate_model_description --xml modelDescription.xml --html index.html
//       --date 2026-01-01T00:00:00Z [--fmi-version 2|3]
//       [--build-description buildDescription.xml] [--source FILE ...]
//
// --source names a source file relative to the archive's sources/ folder;
// each one is listed for hosts that compile the unit themselves: in the
// FMI 2.0 description, or in the FMI 3.0 build description. The FMI 3.0
// description declares the arrays of model_arrays.h as arrays and the
// clock as the independent variable.

#include "runtime/model_arrays.h"
#include "runtime/model_identity.h"
#include "runtime/model_variables.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace tarvo::model_description {
namespace {

using runtime::ArrayVariable;
using runtime::Causality;
using runtime::Initial;
using runtime::kModelArrays;
using runtime::kModelVariables;
using runtime::ModelVariable;
using runtime::Variability;

// A run that finishes in a few seconds (a million internal steps per unit of
// model time) and still shows the drive values settling, the limits and the
// level draining: 1000 communication steps.
constexpr double kDefaultStartTime = 0.0;
constexpr double kDefaultStopTime = 1.0;
constexpr double kDefaultStepSize = 0.001;

// cos and sin of this argument tell the tested C libraries apart (one of the
// arguments of tools/trace/libm_fingerprint.h), as Python prints them.
constexpr const char kFingerprintArgument[] = "-0x1.0b274891fdb38p+0";
constexpr const char kFingerprintFma[] = "0x1.019b8b7939447p-1 -0x1.ba791453757eep-1";
constexpr const char kFingerprintSse2[] = "0x1.019b8b7939446p-1 -0x1.ba791453757eep-1";
constexpr const char kFingerprintCorrectlyRounded[] =
    "0x1.019b8b7939447p-1 -0x1.ba791453757efp-1";

constexpr const char kModelSummary[] =
    "Two mirrored drive channels with limited drive values, a level that the channels and two "
    "constant rates draw down and that switches the drive factor when it reaches 0, and an angle "
    "whose rotation matrix turns a 2-vector state between two planar frames; integrated by a "
    "fixed-step Runge-Kutta 4 method with an internal step of 1e-6.";

struct Options {
    std::string xmlPath;
    std::string htmlPath;
    std::string buildDescriptionPath;  // FMI 3.0 only; none when empty
    std::string date;
    int fmiVersion = 2;
    bool portableCosSin = false;  // the unit's own cos and sin, not the C library's
    std::vector<std::string> sources;
};

// A variable as a model description declares it: one row of the table, or,
// in FMI 3.0, an array of rows that are the elements of one quantity and
// share the first row's causality, variability and initial.
struct DeclaredVariable {
    std::string name;
    uint32_t valueReference = 0;
    const ModelVariable* row = nullptr;  // the first element's row
    std::vector<uint32_t> dimensions;    // none for a scalar; rows, then columns
    std::vector<uint32_t> elements;      // value references, row-major
    std::string description;
};

DeclaredVariable scalarVariable(const ModelVariable& row) {
    return {row.name, row.valueReference, &row, {}, {row.valueReference}, row.description};
}

// An array's description holds each element's, after its subscript:
// "[0,1] V[40]: row 0, column 1 of ...".
DeclaredVariable arrayVariable(const ArrayVariable& array) {
    const ModelVariable& first = kModelVariables[array.elements[0]];
    DeclaredVariable declared;
    declared.name.assign(first.name, array.nameLength);
    declared.valueReference = first.valueReference;
    declared.row = &first;
    declared.dimensions.push_back(array.rows);
    if (array.columns != 0) {
        declared.dimensions.push_back(array.columns);
    }
    for (uint32_t e = 0; e < array.elementCount; ++e) {
        const ModelVariable& element = kModelVariables[array.elements[e]];
        declared.elements.push_back(element.valueReference);
        declared.description += (e == 0 ? "" : "; ");
        declared.description +=
            std::string(element.name + array.nameLength) + " " + element.description;
    }
    return declared;
}

// Every row of the table, as FMI 2.0 declares them.
std::vector<DeclaredVariable> fmi2Variables() {
    std::vector<DeclaredVariable> declared;
    for (const ModelVariable& row : kModelVariables) {
        declared.push_back(scalarVariable(row));
    }
    return declared;
}

// The scalars and arrays of model_arrays.h in value-reference order, as
// FMI 3.0 declares them; an array stands where its first element does.
std::vector<DeclaredVariable> fmi3Variables() {
    std::vector<DeclaredVariable> declared;
    for (const ModelVariable& row : kModelVariables) {
        const runtime::ArrayedReference& reference = kModelArrays.references[row.valueReference];
        switch (reference.kind) {
            case runtime::ReferenceKind::scalar: declared.push_back(scalarVariable(row)); break;
            case runtime::ReferenceKind::array:
                declared.push_back(arrayVariable(kModelArrays.arrays[reference.array]));
                break;
            case runtime::ReferenceKind::none: break;
        }
    }
    return declared;
}

std::vector<DeclaredVariable> declaredVariables(const Options& options) {
    return options.fmiVersion == 3 ? fmi3Variables() : fmi2Variables();
}

const char* causalityName(Causality causality) {
    switch (causality) {
        case Causality::parameter: return "parameter";
        case Causality::input: return "input";
        case Causality::output: return "output";
        case Causality::local: return "local";
    }
    return "";
}

const char* variabilityName(Variability variability) {
    switch (variability) {
        case Variability::constant: return "constant";
        case Variability::fixed: return "fixed";
        case Variability::tunable: return "tunable";
        case Variability::continuous: return "continuous";
    }
    return "";
}

// Markup escaping for attribute values and text; the table holds plain ASCII.
std::string escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&apos;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// The shortest decimal that reads back as the identical double.
std::string formatDouble(double value) {
    char text[32];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    std::string formatted(text, result.ptr);
    if (result.ec != std::errc() || std::strtod(formatted.c_str(), nullptr) != value) {
        std::cerr << "generate_model_description: cannot print " << formatted << " exactly\n";
        std::exit(1);
    }
    return formatted;
}

// The start values of a variable's elements, separated by spaces.
std::string startValues(const DeclaredVariable& variable) {
    std::string starts;
    for (uint32_t element : variable.elements) {
        starts += (starts.empty() ? "" : " ") + formatDouble(runtime::startValue(element));
    }
    return starts;
}

// ModelVariables lists the rows in value-reference order, so the 1-based
// index that ModelStructure uses is the value reference plus one.
uint32_t structureIndex(const ModelVariable& variable) {
    return variable.valueReference + 1;
}

// What both versions declare alike: the log category and the default
// experiment.
std::string logCategoriesXml() {
    return "  <LogCategories>\n"
           "    <Category name=\"error\" description=\"Every message of the unit: failed "
           "instantiation, exceeded stop time, failed snapshot calls\"/>\n"
           "  </LogCategories>\n";
}

std::string defaultExperimentXml() {
    return "  <DefaultExperiment startTime=\"" + formatDouble(kDefaultStartTime) +
           "\" stopTime=\"" + formatDouble(kDefaultStopTime) + "\" stepSize=\"" +
           formatDouble(kDefaultStepSize) + "\"/>\n";
}

// The start of the root element, with the attributes that say what the
// model is and where it comes from; only the version and the name of the
// GUID's attribute differ. The caller adds its own and closes the tag.
std::string rootElementXml(const Options& options, const char* fmiVersion,
                           const char* guidAttribute) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<fmiModelDescription\n"
        << "  fmiVersion=\"" << fmiVersion << "\"\n"
        << "  modelName=\"" << runtime::kModelName << "\"\n"
        << "  " << guidAttribute << "=\"" << runtime::kModelGuid << "\"\n"
        << "  description=\"" << escape(kModelSummary) << "\"\n"
        << "  version=\"" << TARVO_VERSION << "\"\n"
        << "  generationTool=\"" << runtime::kModelName << " model description generator "
        << TARVO_VERSION << "\"\n"
        << "  generationDateAndTime=\"" << escape(options.date) << "\"\n"
        << "  variableNamingConvention=\"structured\"";
    return xml.str();
}

std::string fmi2ModelDescriptionXml(const Options& options) {
    std::ostringstream xml;
    xml << rootElementXml(options, "2.0", "guid") << "\n  numberOfEventIndicators=\"0\">\n";

    xml << "  <CoSimulation\n"
        << "    modelIdentifier=\"" << runtime::kModelName << "\"\n"
        << "    canHandleVariableCommunicationStepSize=\"true\"\n"
        << "    canGetAndSetFMUstate=\"true\"\n"
        << "    canSerializeFMUstate=\"false\"\n"
        << "    providesDirectionalDerivative=\"false\"\n"
        << "    canInterpolateInputs=\"false\"\n"
        << "    maxOutputDerivativeOrder=\"0\">\n";
    if (!options.sources.empty()) {
        xml << "    <SourceFiles>\n";
        for (const std::string& source : options.sources) {
            xml << "      <File name=\"" << escape(source) << "\"/>\n";
        }
        xml << "    </SourceFiles>\n";
    }
    xml << "  </CoSimulation>\n";

    xml << logCategoriesXml() << defaultExperimentXml();

    xml << "  <ModelVariables>\n";
    for (const ModelVariable& variable : kModelVariables) {
        xml << "    <!-- " << structureIndex(variable) << " -->\n"
            << "    <ScalarVariable name=\"" << escape(variable.name) << "\" valueReference=\""
            << variable.valueReference << "\" description=\"" << escape(variable.description)
            << "\" causality=\"" << causalityName(variable.causality) << "\" variability=\""
            << variabilityName(variable.variability) << "\"";
        // exact is the default of constants and parameters; calculated is
        // written out where it is the only choice, on locals and outputs.
        if (variable.initial == Initial::calculated) {
            xml << " initial=\"calculated\"";
        }
        xml << ">\n";
        if (runtime::hasStartValue(variable)) {
            xml << "      <Real start=\""
                << formatDouble(runtime::startValue(variable.valueReference)) << "\"/>\n";
        } else {
            xml << "      <Real/>\n";
        }
        xml << "    </ScalarVariable>\n";
    }
    xml << "  </ModelVariables>\n";

    // Every output is calculated during initialisation, so Outputs and
    // InitialUnknowns list the same variables; no dependencies are declared
    // (each output may depend on every known).
    std::ostringstream outputs;
    for (const ModelVariable& variable : kModelVariables) {
        if (variable.causality == Causality::output) {
            outputs << "      <Unknown index=\"" << structureIndex(variable) << "\"/>\n";
        }
    }
    xml << "  <ModelStructure>\n"
        << "    <Outputs>\n"
        << outputs.str() << "    </Outputs>\n"
        << "    <InitialUnknowns>\n"
        << outputs.str() << "    </InitialUnknowns>\n"
        << "  </ModelStructure>\n"
        << "</fmiModelDescription>\n";
    return xml.str();
}

// The clock of the unit, which FMI 3.0 declares as the independent
// variable, just past the model data.
constexpr const char kTimeDescription[] =
    "The unit's own clock: the model time its steps have reached";

// The FMI 3.0 description. The instantiation token is the GUID of FMI 2.0;
// the unit has no event mode. Its fixed internal step of 1e-6 is not
// declared as fixedInternalStepSize: FMPy takes that, doubled up to 1000
// points, as its default output interval (0.001024) instead of the default
// experiment's step, and a host would no longer run the default experiment
// at the points of the FMI 2.0 archive. The source files are listed in the
// build description instead.
std::string fmi3ModelDescriptionXml(const Options& options) {
    std::ostringstream xml;
    xml << rootElementXml(options, "3.0", "instantiationToken") << ">\n";

    xml << "  <CoSimulation\n"
        << "    modelIdentifier=\"" << runtime::kModelName << "\"\n"
        << "    canGetAndSetFMUState=\"true\"\n"
        << "    canSerializeFMUState=\"true\"\n"
        << "    canHandleVariableCommunicationStepSize=\"true\"\n"
        << "    hasEventMode=\"false\"/>\n";

    xml << logCategoriesXml() << defaultExperimentXml();

    xml << "  <ModelVariables>\n"
        << "    <Float64 name=\"time\" valueReference=\"" << runtime::kTimeReference
        << "\" description=\"" << escape(kTimeDescription)
        << "\" causality=\"independent\" variability=\"continuous\"/>\n";
    const std::vector<DeclaredVariable> variables = fmi3Variables();
    for (const DeclaredVariable& variable : variables) {
        const ModelVariable& row = *variable.row;
        xml << "    <Float64 name=\"" << escape(variable.name) << "\" valueReference=\""
            << variable.valueReference << "\" description=\"" << escape(variable.description)
            << "\" causality=\"" << causalityName(row.causality) << "\" variability=\""
            << variabilityName(row.variability) << "\"";
        // As in FMI 2.0: initial written out where it is calculated.
        if (row.initial == Initial::calculated) {
            xml << " initial=\"calculated\"";
        }
        if (runtime::hasStartValue(row)) {
            xml << " start=\"" << startValues(variable) << "\"";
        }
        if (variable.dimensions.empty()) {
            xml << "/>\n";
            continue;
        }
        xml << ">\n";
        for (uint32_t size : variable.dimensions) {
            xml << "      <Dimension start=\"" << size << "\"/>\n";
        }
        xml << "    </Float64>\n";
    }
    xml << "  </ModelVariables>\n";

    // As in FMI 2.0, the outputs are the initial unknowns; an array output
    // is listed once, by its own reference.
    std::ostringstream outputs;
    std::ostringstream initialUnknowns;
    for (const DeclaredVariable& variable : variables) {
        if (variable.row->causality == Causality::output) {
            outputs << "    <Output valueReference=\"" << variable.valueReference << "\"/>\n";
            initialUnknowns << "    <InitialUnknown valueReference=\"" << variable.valueReference
                            << "\"/>\n";
        }
    }
    xml << "  <ModelStructure>\n"
        << outputs.str() << initialUnknowns.str() << "  </ModelStructure>\n"
        << "</fmiModelDescription>\n";
    return xml.str();
}

// The FMI 3.0 build description, sources/buildDescription.xml: the C++17
// files of the unit, with sources/ itself as the include directory. The
// portable archive's sources carry trig/cos_sin_choice.h set to the unit's
// own cos and sin; the definition says the same to a host that reads it.
std::string buildDescriptionXml(const Options& options) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<fmiBuildDescription fmiVersion=\"3.0\">\n"
        << "  <BuildConfiguration modelIdentifier=\"" << runtime::kModelName
        << "\" description=\"The unit as one shared library\">\n"
        << "    <SourceFileSet language=\"C++17\">\n";
    for (const std::string& source : options.sources) {
        xml << "      <SourceFile name=\"" << escape(source) << "\"/>\n";
    }
    if (options.portableCosSin) {
        xml << "      <PreprocessorDefinition name=\"TARVO_PORTABLE_COS_SIN\" value=\"1\" "
               "description=\"The unit's own correctly rounded cos and sin, as "
               "trig/cos_sin_choice.h of these sources selects them too\"/>\n";
    }
    xml << "      <IncludeDirectory name=\".\"/>\n"
        << "    </SourceFileSet>\n"
        << "  </BuildConfiguration>\n"
        << "</fmiBuildDescription>\n";
    return xml.str();
}

// The shape of an array after its name; nothing for a scalar.
std::string shapeHtml(const DeclaredVariable& variable) {
    switch (variable.dimensions.size()) {
        case 0: return "";
        case 1: return " (array of " + std::to_string(variable.dimensions[0]) + ")";
        default:
            return " (" + std::to_string(variable.dimensions[0]) + " &times; " +
                   std::to_string(variable.dimensions[1]) + " array)";
    }
}

void htmlTable(std::ostringstream& html, const std::vector<DeclaredVariable>& variables,
               Causality causality, bool withStart) {
    html << "<table>\n<tr><th>Name</th><th>Value reference</th><th>Variability</th>"
         << (withStart ? "<th>Start</th>" : "") << "<th>Description</th></tr>\n";
    for (const DeclaredVariable& variable : variables) {
        if (variable.row->causality != causality) {
            continue;
        }
        html << "<tr><td><code>" << escape(variable.name) << "</code>" << shapeHtml(variable)
             << "</td><td>" << variable.valueReference << "</td><td>"
             << variabilityName(variable.row->variability) << "</td>";
        if (withStart) {
            html << "<td>" << startValues(variable) << "</td>";
        }
        html << "<td>" << escape(variable.description) << "</td></tr>\n";
    }
    html << "</table>\n";
}

std::string fmi2PlatformsHtml(const Options& options) {
    std::ostringstream html;
    html << "<h2>Platforms</h2>\n"
         << "<p><code>binaries/linux64/" << runtime::kModelName
         << ".so</code> runs on 64-bit x86 "
            "Linux with glibc 2.17 or newer and needs only libc and libm. <code>binaries/win64/"
         << runtime::kModelName
         << ".dll</code> runs on 64-bit Windows and needs only the C runtime "
            "<code>msvcrt.dll</code>, which every Windows has; it runs nothing when loaded or "
            "unloaded. Both are built from the same sources with the same arithmetic (SSE2, no "
            "fused multiply-add) and were tested with the same host scenarios, the Windows DLL "
            "under wine. ";
    if (options.portableCosSin) {
        html << "Both give the same bits, those of every other build of this archive's "
                "sources.</p>\n";
    } else {
        html << "The DLL takes cos and sin from the C runtime, each on its own, so its values "
                "may differ from Linux's in the last bits where those of the C runtime do (its "
                "statuses never differ); every other operation is the same IEEE 754 "
                "arithmetic. The portable archive gives the same bits on both.</p>\n";
    }
    return html.str();
}

std::string fmi3PlatformsHtml(const Options& options) {
    std::ostringstream html;
    html << "<h2>Platforms</h2>\n"
         << "<p><code>binaries/x86_64-linux/" << runtime::kModelName
         << ".so</code> runs on 64-bit x86 Linux and <code>binaries/aarch64-linux/"
         << runtime::kModelName
         << ".so</code> on 64-bit ARM Linux, each with glibc 2.17 or newer, needing only libc "
            "and libm. <code>binaries/x86_64-windows/"
         << runtime::kModelName
         << ".dll</code> runs on 64-bit Windows and needs only the C runtime "
            "<code>msvcrt.dll</code>, which every Windows has; it runs nothing when loaded or "
            "unloaded. All three are built from the same sources with the same arithmetic (no "
            "fused multiply-add). ";
    if (options.portableCosSin) {
        html << "They run on the unit's own cos and sin, as every other build of this "
                "archive's sources does.</p>\n";
    } else {
        html << "Each takes cos and sin from its C library, so their values may differ in the "
                "last bits where those do; every other operation is the same IEEE 754 "
                "arithmetic. The portable archive runs on its own cos and sin on all "
                "three.</p>\n";
    }
    return html.str();
}

// How to build the binary again from sources/, and what was tested to give
// the same bits.
std::string rebuildingHtml(const Options& options) {
    const bool fmi3 = options.fmiVersion == 3;
    std::ostringstream html;
    html << "<h2>Rebuilding the binary</h2>\n"
         << "<p>The folder <code>sources/</code> of the archive holds everything needed: "
            "<code>cmake -S sources -B build &amp;&amp; cmake --build build</code> builds "
            "<code>build/"
         << runtime::kModelName << ".so</code> (with <code>-DCMAKE_TOOLCHAIN_FILE"
         << (fmi3 ? "</code> for MinGW-w64 or an aarch64 cross compiler, <code>"
                  : "</code> for MinGW-w64, <code>")
         << runtime::kModelName << ".dll</code>). Any other build of the C++17 files listed in "
         << (fmi3 ? "<code>sources/buildDescription.xml</code>, with <code>sources/</code> as "
                    "the include directory,"
                  : "the model description")
         << " works too, with the compiler's "
            "own flags: the sources themselves forbid contraction into fused multiply-add for "
            "GCC and clang, and stop a build with fast-math options. Tested to reproduce the "
            "same bits: "
         << (fmi3 ? "<code>fmpy compile</code> and CMake"
                  : "<code>fmpy compile</code>, clang -O3, GCC -O3 -march=x86-64-v3, and GCC "
                    "for aarch64 at -O2")
         << ". Clang with an explicit <code>-ffp-contract=fast</code> and "
            "other compilers (MSVC cannot compile the GCC vector extensions of the fast "
            "equations) are not covered.</p>\n";
    return html.str();
}

std::string documentationHtml(const Options& options) {
    std::ostringstream html;
    html
        << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<title>" << runtime::kModelName << "</title>\n"
        << "<style>body{font-family:sans-serif;max-width:70em;margin:2em auto;line-height:1.4}"
           "table{border-collapse:collapse;margin-bottom:1.5em}"
           "td,th{border:1px solid #bbb;padding:0.2em 0.5em;text-align:left;vertical-align:top}"
           "th{background:#eee}img{max-width:100%}</style>\n"
        << "</head>\n<body>\n"
        << "<h1>" << runtime::kModelName << "</h1>\n"
        << "<p>An FMI " << (options.fmiVersion == 3 ? "3.0" : "2.0")
        << " Co-Simulation unit, version " << TARVO_VERSION << ", generated "
        << escape(options.date) << ".</p>\n"
        << "<h2>What it does</h2>\n<p>" << escape(kModelSummary) << "</p>\n"
        << "<p>The level <code>level.value</code> is the capacity <code>level.capacity</code> "
           "less the two channel integrals and two integrals of constant rates. While it is above "
           "0 both drive values are multiplied by <code>level.driveFactorAboveZero</code>, once it "
           "reaches 0 by <code>level.driveFactorAtZero</code> (1 and 0 by default). The fraction "
           "of the capacity left selects one of three fixed triples <code>level.triple</code> "
           "(above 0.5, between 0.2 and 0.5, below 0.2). Each channel limits its drive value to "
           "its lower and upper limit, and each yields a value quantised to whole multiples of "
           "its quantisation step.</p>\n"
        << "<p>The unit keeps its own clock and integrates every communication step with "
           "internal steps of 1e-6 model time units, four evaluations of the model each. Every "
           "one of the 247 values can be read by value reference";
    if (options.fmiVersion == 3) {
        html << ": a scalar by its own, an array whole by the reference of its first element, "
                "its elements in row-major order";
    }
    html << "; names follow the model's own "
            "numbering (<code>parameters[5]</code> is P[5], <code>variables[42]</code> is V[42], "
            "counted from 0).";
    if (options.fmiVersion == 3) {
        html << " The clock is the independent variable <code>time</code>, value reference "
             << runtime::kTimeReference
             << ". The state of an instance can be saved, restored and serialised to bytes "
                "that carry the instantiation token, a format version and a checksum, every "
                "number little-endian whatever the machine.";
    }
    html << "</p>\n";

    const std::vector<DeclaredVariable> variables = declaredVariables(options);
    html << "<h2>Inputs</h2>\n";
    htmlTable(html, variables, Causality::input, true);
    html << "<h2>Outputs</h2>\n";
    htmlTable(html, variables, Causality::output, false);
    html << "<h2>Parameters</h2>\n"
         << "<p>Fixed parameters take effect at initialisation only; tunable ones also when "
            "written between communication steps. <code>initialValues[i]</code> is the start "
            "value of state S[i].</p>\n";
    htmlTable(html, variables, Causality::parameter, true);

    html
        << "<h2>Default experiment</h2>\n"
        << "<p>From " << formatDouble(kDefaultStartTime) << " to "
        << formatDouble(kDefaultStopTime) << " with communication steps of "
        << formatDouble(kDefaultStepSize)
        << ". The plot shows a run with the inputs stepped and ramped (the default input profile "
           "of a simulation with ./simulate).</p>\n"
        << "<p><img src=\"default_experiment.png\" alt=\"Inputs and outputs over the default "
           "experiment\"></p>\n";

    html << "<h2>Which results are exact</h2>\n";
    if (options.portableCosSin) {
        html << "<p>This is the portable archive. Every operation is IEEE 754 double arithmetic, "
                "rounded as the model prescribes, and the unit brings its own cos and sin, "
                "correctly rounded: it gives the same bits on every machine, whatever its CPU, "
                "operating system or C library.</p>\n";
    } else {
        html << "<p>Every operation is IEEE 754 double arithmetic, rounded as the model "
                "prescribes, except cos and sin, which come from the C library. The results are "
                "bit-exact given those: two machines give the same bits when their C libraries "
                "give the same cos and sin. Tested: glibc 2.36 with FMA (x86-64 CPUs with FMA, "
                "and aarch64) and glibc 2.36 without FMA (older x86-64 CPUs, virtual machines "
                "that hide FMA); they round differently for about 1 argument in 1,500, and other "
                "C libraries differ again. For the same bits on every machine use the portable "
                "archive, <code>"
             << runtime::kModelName << (options.fmiVersion == 3 ? "-fmi3" : "")
             << "-portable.fmu</code>, which brings its "
                "own correctly rounded cos and sin.</p>\n"
             << "<p>Which cos and sin a machine runs: <code>python3 -c \"import math; "
                "x = float.fromhex('"
             << kFingerprintArgument
             << "'); print(math.cos(x).hex(), "
                "math.sin(x).hex())\"</code> prints</p>\n<ul>\n"
             << "<li><code>" << kFingerprintFma << "</code>: glibc with FMA;</li>\n"
             << "<li><code>" << kFingerprintSse2 << "</code>: glibc without FMA;</li>\n"
             << "<li><code>" << kFingerprintCorrectlyRounded
             << "</code>: correctly rounded "
                "(the portable archive's values);</li>\n"
             << "<li>anything else: a C library the unit was not tested with.</li>\n</ul>\n";
    }

    html << (options.fmiVersion == 3 ? fmi3PlatformsHtml(options) : fmi2PlatformsHtml(options))
         << rebuildingHtml(options);
    html << "</body>\n</html>\n";
    return html.str();
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
    file.close();
    if (!file) {
        std::cerr << "generate_model_description: cannot write " << path << '\n';
        return false;
    }
    return true;
}

const char kUsage[] =
    "usage: generate_model_description --xml FILE --html FILE --date YYYY-MM-DDThh:mm:ssZ "
    "[--fmi-version 2|3] [--build-description FILE] [--cos-sin c-library|portable] "
    "[--source FILE ...]\n";

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const std::string value = argv[++i];
        if (argument == "--xml") {
            options.xmlPath = value;
        } else if (argument == "--html") {
            options.htmlPath = value;
        } else if (argument == "--date") {
            options.date = value;
        } else if (argument == "--fmi-version" && (value == "2" || value == "3")) {
            options.fmiVersion = value == "3" ? 3 : 2;
        } else if (argument == "--build-description") {
            options.buildDescriptionPath = value;
        } else if (argument == "--source") {
            options.sources.push_back(value);
        } else if (argument == "--cos-sin" && (value == "c-library" || value == "portable")) {
            options.portableCosSin = value == "portable";
        } else {
            return false;
        }
    }
    // FMI 2.0 lists the sources in the model description itself.
    const bool buildDescriptionFits =
        options.buildDescriptionPath.empty() || options.fmiVersion == 3;
    return !options.xmlPath.empty() && !options.htmlPath.empty() && !options.date.empty() &&
           buildDescriptionFits;
}

}  // namespace
}  // namespace tarvo::model_description

int main(int argc, char** argv) {
    using namespace tarvo::model_description;
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << kUsage;
        return 2;
    }
    const bool fmi3 = options.fmiVersion == 3;
    bool written = writeFile(options.xmlPath, fmi3 ? fmi3ModelDescriptionXml(options)
                                                   : fmi2ModelDescriptionXml(options)) &&
                   writeFile(options.htmlPath, documentationHtml(options));
    if (written && !options.buildDescriptionPath.empty()) {
        written = writeFile(options.buildDescriptionPath, buildDescriptionXml(options));
    }
    return written ? 0 : 1;
}
