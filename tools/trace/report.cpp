#include "trace/report.h"

#include <cstdint>
#include <nlohmann/json.hpp>

#include "runtime/model_variables.h"

namespace tarvo::trace {
namespace {

std::string quoted(const std::string& text) {
    return nlohmann::json(text).dump();
}

std::string describe(const RecordDifference& difference) {
    if (difference.statusDiffers) {
        return "status " + std::to_string(difference.status) + ", expected " +
               std::to_string(difference.expectedStatus);
    }
    return "value reference " + std::to_string(difference.valueReference) + " (" +
           describeValueReference(difference.valueReference) + "): got " + difference.value +
           ", expected " + difference.expectedValue;
}

// "1", "2-15", "16-255", "256-4095", "2^16-2^20", ...
void writeBucket(std::ostream& out, std::size_t bucket) {
    if (bucket == 0) {
        out << "1";
    } else if (bucket == 1) {
        out << "2-15";
    } else if (bucket <= 3) {
        out << (std::uint64_t{1} << (4 * (bucket - 1))) << '-'
            << (std::uint64_t{1} << (4 * bucket)) - 1;
    } else {
        out << "2^" << 4 * (bucket - 1) << "-2^" << 4 * bucket;
    }
}

}  // namespace

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

void reportCosSin(std::ostream& out, CosSinVariant found) {
    const VariantName* variant = findVariant(found);
    out << (variant != nullptr ? variant->option : "unknown") << ": "
        << (variant != nullptr ? variant->description
                               : "none of the variants the vectors were made for")
        << '\n';
}

void reportExpectedVariant(std::ostream& out, const std::string& scenarioName,
                           const VariantName& chosen, bool named, CosSinVariant found) {
    out << scenarioName << ": expected values of " << chosen.description;
    if (named && found != chosen.variant) {
        const VariantName* actual = findVariant(found);
        out << " (this process's C library: "
            << (actual != nullptr ? actual->description : "none of the known variants") << ")";
    }
    out << '\n';
}

void reportNoKnownVariant(std::ostream& out, const std::string& scenarioName) {
    out << scenarioName
        << ": this C library's cos and sin match none of the tested variants "
           "(glibc with FMA, glibc without FMA, correctly rounded): nothing "
           "compared for this build; the portable build is exact everywhere\n";
}

void reportExactComparison(std::ostream& out, const ExactComparison& comparison,
                           const TraceResult& actual, const TraceResult& expected) {
    if (comparison.namesDiffer) {
        out << "name differs: got " << quoted(actual.name) << ", expected "
            << quoted(expected.name) << '\n';
        return;
    }
    if (comparison.first) {
        const RecordDifference& first = *comparison.first;
        out << "first difference in " << describeRecord(first.record) << ": " << describe(first)
            << "; " << first.differingValues << " of " << first.valueCount
            << " values differ in this record\n";
    }
    if (comparison.recordCount != comparison.expectedRecordCount) {
        out << comparison.recordCount << " records, expected " << comparison.expectedRecordCount
            << '\n';
        return;
    }
    if (comparison.differingRecords != 0) {
        out << comparison.differingRecords << " of " << comparison.expectedRecordCount
            << " records differ\n";
    }
}

void reportUlpComparison(std::ostream& out, const UlpComparison& comparison,
                         const TraceResult& actual, const TraceResult& expected) {
    if (comparison.shapesDiffer) {
        out << "got " << actual.records.size() << " records of " << quoted(actual.name)
            << ", expected " << expected.records.size() << " of " << quoted(expected.name)
            << '\n';
        return;
    }
    if (comparison.firstStatus) {
        const StatusDifference& first = *comparison.firstStatus;
        out << describeRecord(first.record) << ": status " << first.status << ", expected "
            << first.expectedStatus << '\n';
    }
    if (comparison.valueCountDiffers) {
        const ValueCountDifference& difference = *comparison.valueCountDiffers;
        out << describeRecord(difference.record) << ": " << difference.count
            << " values, expected " << difference.expectedCount << '\n';
        return;
    }
    out << "statuses " << (comparison.differingStatuses == 0 ? "equal" : "DIFFER") << " in "
        << expected.records.size() << " records; values differ in " << comparison.differingRecords
        << " records, " << comparison.differingValues << " of " << comparison.valueCount
        << " values";
    if (comparison.differingValues > 0) {
        out << "; largest " << comparison.largest << " ulps ("
            << describeValueReference(comparison.largestAt) << ", "
            << describeRecord(comparison.largestRecord) << "); ulps:";
        const char* separator = " ";
        for (std::size_t bucket = 0; bucket < comparison.histogram.size(); ++bucket) {
            if (comparison.histogram[bucket] == 0) {
                continue;
            }
            out << separator;
            separator = ", ";
            writeBucket(out, bucket);
            out << ": " << comparison.histogram[bucket];
        }
        if (comparison.notComparable > 0) {
            out << ", NaN against a number: " << comparison.notComparable;
        }
    }
    out << '\n';
}

}  // namespace tarvo::trace
