// A result compared with the expected one: exactly, or (for a build whose
// cos and sin differ from the expected set's) statuses exactly and values
// by their distance in ulps. What the comparisons find; report.h tells it.
// Both results start at the same record number (recordsFrom); records are
// named by their numbers.
#ifndef TARVO_TOOLS_TRACE_COMPARE_RESULTS_H
#define TARVO_TOOLS_TRACE_COMPARE_RESULTS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trace/trace_result.h"

namespace tarvo::trace {

// The first record in which the status or a value differs.
struct RecordDifference {
    std::size_t record = 0;
    bool statusDiffers = false;
    int status = 0;
    int expectedStatus = 0;
    // When the status is equal: the first value that differs, "(missing)"
    // where a record holds fewer values than the other.
    std::size_t valueReference = 0;
    std::string value;
    std::string expectedValue;
    std::size_t differingValues = 0;
    std::size_t valueCount = 0;  // of the longer record
};

struct ExactComparison {
    bool namesDiffer = false;  // nothing else compared
    std::optional<RecordDifference> first;
    std::size_t differingRecords = 0;
    std::size_t recordCount = 0;
    std::size_t expectedRecordCount = 0;

    bool equal() const {
        return !namesDiffer && differingRecords == 0 && recordCount == expectedRecordCount;
    }
};

// Every status and value to the character, in the records both hold.
ExactComparison compareExactly(const TraceResult& actual, const TraceResult& expected);

struct StatusDifference {
    std::size_t record = 0;
    int status = 0;
    int expectedStatus = 0;
};

struct ValueCountDifference {
    std::size_t record = 0;
    std::size_t count = 0;
    std::size_t expectedCount = 0;
};

struct UlpComparison {
    bool shapesDiffer = false;  // names or record counts: nothing else compared
    std::optional<StatusDifference> firstStatus;
    // A record with another number of values ends the comparison there.
    std::optional<ValueCountDifference> valueCountDiffers;
    std::size_t differingStatuses = 0;
    std::size_t differingRecords = 0;
    std::size_t differingValues = 0;
    std::size_t notComparable = 0;  // NaN against a number
    std::size_t valueCount = 0;
    std::int64_t largest = 0;
    std::size_t largestAt = 0;  // its value reference
    std::size_t largestRecord = 0;
    // Differences of 1 ulp, then 2-15, 16-255, ... by powers of 16.
    std::vector<std::size_t> histogram = std::vector<std::size_t>(17, 0);

    bool statusesEqual() const {
        return !shapesDiffer && !valueCountDiffers && differingStatuses == 0;
    }
};

// Every status exactly; the values that differ counted by their distance.
// A TraceError when a value is no hexadecimal float.
UlpComparison compareStatusesCountUlps(const TraceResult& actual, const TraceResult& expected);

// Distance in units in the last place between two doubles: the number of
// steps from one to the other through consecutive doubles. +0 and -0 count
// as one apart; NaN against a number gives -1 (not comparable).
std::int64_t ulpDistance(double a, double b);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_COMPARE_RESULTS_H
