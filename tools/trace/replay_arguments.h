// The arguments of a logged call read back from its line (the encoding of
// call_log.h), as the replay passes them to the unit again.
#ifndef TARVO_TOOLS_TRACE_REPLAY_ARGUMENTS_H
#define TARVO_TOOLS_TRACE_REPLAY_ARGUMENTS_H

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "fmi2/fmi2_types.h"
#include "trace/call_log.h"
#include "trace/trace_error.h"

namespace tarvo::trace {

using call_log::Json;

// A line that cannot be read is a TraceError; a call that cannot be made
// again as the host made it, a CannotReplay.
const Json& fieldOf(const Json& line, const char* key);
std::size_t countOf(const Json& line, const char* key);
int integerOf(const Json& line, const char* key);
double realOf(const Json& item);
// A handle as the log writes it ("0x55d0c3a4b2c0").
std::string handleOf(const Json& line, const char* key);

// A logged array as the arguments of a call: its values, or a null pointer.
template <typename T>
struct Array {
    std::vector<T> values;
    bool null = false;
    T* data() { return null ? nullptr : values.data(); }
};

template <typename T, typename Convert>
Array<T> arrayOf(const Json& item, std::size_t n, Convert convert) {
    Array<T> array;
    if (item.is_null()) {
        array.null = true;
        return array;
    }
    if (!item.is_array() || item.size() != n) {
        throw TraceError("expected " + std::to_string(n) + " values, got " + item.dump());
    }
    for (const Json& value : item) {
        array.values.push_back(convert(value));
    }
    return array;
}

Array<fmi2Real> realsOf(const Json& item, std::size_t n);

template <typename T>
Array<T> numbersOf(const Json& item, std::size_t n) {
    return arrayOf<T>(item, n, [](const Json& value) {
        if (!value.is_number_integer()) {
            throw TraceError("expected an integer, got " + value.dump());
        }
        return value.get<T>();
    });
}

// Strings: the bytes, and the pointers the call takes.
struct Texts {
    std::deque<std::string> storage;
    Array<fmi2String> pointers;
};

Texts textsOf(const Json& item, std::size_t n);

// Null for a logged null, else the bytes kept in storage.
const char* optionalText(const Json& item, std::string& storage);

// Counts beyond this come only from hosts passing bad arrays; the replay
// allocates nothing for them.
void checkCount(std::size_t n);

// An output array: null as the host passed it, else room for n values.
template <typename T>
Array<T> outputFor(const Json& line, const char* key, std::size_t n) {
    Array<T> array;
    array.null = line.contains(key) && line.at(key).is_null();
    if (!array.null) {
        checkCount(n);
        array.values.assign(n, T{});
    }
    return array;
}

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAY_ARGUMENTS_H
