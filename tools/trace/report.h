// What the trace tool says: the cos and sin variant it compares against,
// and what a comparison found, with records and values named as a reader
// looks them up.
#ifndef TARVO_TOOLS_TRACE_REPORT_H
#define TARVO_TOOLS_TRACE_REPORT_H

#include <cstddef>
#include <ostream>
#include <string>

#include "trace/compare_results.h"
#include "trace/cos_sin_variant.h"
#include "trace/trace_result.h"

namespace tarvo::trace {

// "V[135] channelA.input" for the first input: where the value lives in the
// model data, and its name in the variable table.
std::string describeValueReference(std::size_t vr);

// "record 0 (after initialisation)", "record 3 (after step 3)".
std::string describeRecord(std::size_t k);

// The answer to --which-cos-sin.
void reportCosSin(std::ostream& out, CosSinVariant found);

// The variant whose expected values a scenario is compared with; for one
// named on the command line, also the one this process has when it differs.
void reportExpectedVariant(std::ostream& out, const std::string& scenarioName,
                           const VariantName& chosen, bool named, CosSinVariant found);

// No expected values for this C library: nothing compared.
void reportNoKnownVariant(std::ostream& out, const std::string& scenarioName);

// The first difference and a count of the rest; nothing when equal.
void reportExactComparison(std::ostream& out, const ExactComparison& comparison,
                           const TraceResult& actual, const TraceResult& expected);

// The statuses, and how many values differ by how many ulps.
void reportUlpComparison(std::ostream& out, const UlpComparison& comparison,
                         const TraceResult& actual, const TraceResult& expected);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPORT_H
