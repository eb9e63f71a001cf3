#include "trace/trace_result.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <utility>

#include "trace/json_file.h"
#include "trace/trace_error.h"

namespace tarvo::trace {

using nlohmann::json;

void writeResult(std::ostream& out, const TraceResult& result) {
    out << "{\"name\": " << json(result.name).dump() << ",\n ";
    if (result.firstRecord != 0) {
        out << "\"first_record\": " << result.firstRecord << ",\n ";
    }
    out << "\"records\": [";
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
        result.firstRecord = document.value("first_record", std::size_t{0});
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

TraceResult recordsFrom(const TraceResult& result, std::size_t first) {
    TraceResult tail;
    tail.name = result.name;
    tail.firstRecord = first;
    const std::size_t skipped = first - result.firstRecord;
    if (first >= result.firstRecord && skipped < result.records.size()) {
        tail.records.assign(result.records.begin() + static_cast<std::ptrdiff_t>(skipped),
                            result.records.end());
    }
    return tail;
}

}  // namespace tarvo::trace
