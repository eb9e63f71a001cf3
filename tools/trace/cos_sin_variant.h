// The cos and sin variants the expected results of tests/vectors were made
// with, each with its own expected file NAME.expected[-VARIANT].json, and
// which of them the C library of this process gives.
#ifndef TARVO_TOOLS_TRACE_COS_SIN_VARIANT_H
#define TARVO_TOOLS_TRACE_COS_SIN_VARIANT_H

#include <string>

namespace tarvo::trace {

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

// Null for CosSinVariant::unknown.
const VariantName* findVariant(CosSinVariant variant);

// The variant a --cos-sin option names other than auto, or null.
const VariantName* findVariantByOption(const std::string& option);

// The C library's cos and sin of this process, taken as the unit takes
// them, against the known variants.
CosSinVariant fingerprintCosSin();

// DIR/NAME.expected<suffix>.json for the scenario file DIR/.../NAME.json.
std::string expectedFilePath(const std::string& expectedDir, const std::string& scenarioPath,
                             const VariantName& variant);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_COS_SIN_VARIANT_H
