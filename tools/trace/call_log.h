// How the call log writes FMI values, shared by the recorder that writes it
// and the replay that compares with it: one JSON object per line and call,
// doubles as exact hexadecimal floats ("0x1.8p+1", "nan", "-inf"), strings
// byte for byte (bytes from 0x80 on as the code points U+0080..U+00FF),
// byte arrays as hexadecimal digits, an array or pointer the host did not
// pass as null. Instance and snapshot handles are written as their
// addresses ("0x55d0c3a4b2c0", "0x0" for a null handle).
#ifndef TARVO_TOOLS_TRACE_CALL_LOG_H
#define TARVO_TOOLS_TRACE_CALL_LOG_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "fmi2/fmi2_functions.h"
#include "host/hex_float.h"

namespace tarvo::call_log {

using Json = nlohmann::ordered_json;

constexpr const char kLogVariable[] = "TARVO_RECORDER_LOG";
constexpr const char kNullHandle[] = "0x0";

// Output values are logged, and compared, only when the status says they
// were written.
inline bool valuesValid(fmi2Status status) {
    return status == fmi2OK || status == fmi2Warning;
}

inline Json handle(const void* value) {
    char text[2 + 2 * sizeof value + 1];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(value)));
    return text;
}

inline Json text(const char* value) {
    if (value == nullptr) {
        return nullptr;
    }
    std::string utf8;
    for (auto byte = reinterpret_cast<const unsigned char*>(value); *byte != 0; ++byte) {
        if (*byte < 0x80) {
            utf8 += static_cast<char>(*byte);
        } else {
            utf8 += static_cast<char>(0xc0 | (*byte >> 6));
            utf8 += static_cast<char>(0x80 | (*byte & 0x3f));
        }
    }
    return utf8;
}

inline Json real(double value) {
    return host::formatHexFloat(value);
}

template <typename T, typename Convert>
Json list(const T* values, std::size_t count, Convert convert) {
    if (values == nullptr) {
        return nullptr;
    }
    Json items = Json::array();
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back(convert(values[i]));
    }
    return items;
}

inline Json reals(const fmi2Real* values, std::size_t count) {
    return list(values, count, real);
}

template <typename T>
Json numbers(const T* values, std::size_t count) {
    return list(values, count, [](T value) { return Json(value); });
}

inline Json texts(const fmi2String* values, std::size_t count) {
    return list(values, count, text);
}

inline Json bytes(const fmi2Byte* values, std::size_t count) {
    if (values == nullptr) {
        return nullptr;
    }
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(values[i]);
        hex += digits[byte >> 4];
        hex += digits[byte & 0xf];
    }
    return hex;
}

}  // namespace tarvo::call_log

#endif  // TARVO_TOOLS_TRACE_CALL_LOG_H
