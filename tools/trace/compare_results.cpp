#include "trace/compare_results.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "host/hex_float.h"
#include "ieee/double_bits.h"
#include "trace/trace_error.h"

namespace tarvo::trace {

ExactComparison compareExactly(const TraceResult& actual, const TraceResult& expected) {
    ExactComparison comparison;
    comparison.recordCount = actual.records.size();
    comparison.expectedRecordCount = expected.records.size();
    if (actual.name != expected.name) {
        comparison.namesDiffer = true;
        return comparison;
    }
    const std::size_t common = std::min(actual.records.size(), expected.records.size());
    for (std::size_t k = 0; k < common; ++k) {
        const Record& got = actual.records[k];
        const Record& want = expected.records[k];
        RecordDifference difference;
        difference.record = actual.firstRecord + k;
        difference.statusDiffers = got.status != want.status;
        difference.status = got.status;
        difference.expectedStatus = want.status;
        difference.valueCount = std::max(got.values.size(), want.values.size());
        bool differs = difference.statusDiffers;
        for (std::size_t vr = 0; vr < difference.valueCount; ++vr) {
            const std::string gotValue = vr < got.values.size() ? got.values[vr] : "(missing)";
            const std::string wantValue = vr < want.values.size() ? want.values[vr] : "(missing)";
            if (gotValue == wantValue) {
                continue;
            }
            if (!differs) {
                difference.valueReference = vr;
                difference.value = gotValue;
                difference.expectedValue = wantValue;
                differs = true;
            }
            ++difference.differingValues;
        }
        if (!differs) {
            continue;
        }
        ++comparison.differingRecords;
        if (!comparison.first) {
            comparison.first = difference;
        }
    }
    return comparison;
}

UlpComparison compareStatusesCountUlps(const TraceResult& actual, const TraceResult& expected) {
    UlpComparison comparison;
    if (actual.name != expected.name || actual.records.size() != expected.records.size()) {
        comparison.shapesDiffer = true;
        return comparison;
    }
    for (std::size_t k = 0; k < expected.records.size(); ++k) {
        const Record& got = actual.records[k];
        const Record& want = expected.records[k];
        if (got.status != want.status && comparison.differingStatuses++ == 0) {
            comparison.firstStatus =
                StatusDifference{actual.firstRecord + k, got.status, want.status};
        }
        if (got.values.size() != want.values.size()) {
            comparison.valueCountDiffers = ValueCountDifference{
                actual.firstRecord + k, got.values.size(), want.values.size()};
            return comparison;
        }
        bool recordDiffers = false;
        for (std::size_t vr = 0; vr < got.values.size(); ++vr) {
            ++comparison.valueCount;
            if (got.values[vr] == want.values[vr]) {
                continue;
            }
            recordDiffers = true;
            ++comparison.differingValues;
            double a = 0.0;
            double b = 0.0;
            if (!host::parseHexFloat(got.values[vr], a) ||
                !host::parseHexFloat(want.values[vr], b)) {
                throw TraceError("not a hexadecimal float in record " +
                                 std::to_string(actual.firstRecord + k));
            }
            const std::int64_t distance = ulpDistance(a, b);
            if (distance < 0) {
                ++comparison.notComparable;
                continue;
            }
            std::size_t bucket = 0;
            if (distance > 1) {
                bucket = 1;
                while (bucket < 16 && (std::uint64_t{1} << (4 * bucket)) <=
                                          static_cast<std::uint64_t>(distance)) {
                    ++bucket;
                }
            }
            ++comparison.histogram[bucket];
            if (distance > comparison.largest) {
                comparison.largest = distance;
                comparison.largestAt = vr;
                comparison.largestRecord = actual.firstRecord + k;
            }
        }
        comparison.differingRecords += recordDiffers ? 1 : 0;
    }
    return comparison;
}

std::int64_t ulpDistance(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b) ? 0 : -1;
    }
    if (a == 0.0 && b == 0.0) {
        return std::signbit(a) == std::signbit(b) ? 0 : 1;
    }
    // Doubles ordered as integers: the negative ones mirrored below zero.
    const auto ordered = [](double x) {
        const auto bits = static_cast<std::int64_t>(ieee::bitsOf(x));
        return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
    };
    const std::int64_t first = ordered(a);
    const std::int64_t second = ordered(b);
    // Both lie within +-2^63 of zero, so the difference of two such values
    // fits once taken as unsigned.
    const std::uint64_t distance =
        first > second ? static_cast<std::uint64_t>(first) - static_cast<std::uint64_t>(second)
                       : static_cast<std::uint64_t>(second) - static_cast<std::uint64_t>(first);
    return distance > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(distance);
}

}  // namespace tarvo::trace
