#include "trace/replay_arguments.h"

#include "host/hex_float.h"

namespace tarvo::trace {
namespace {

constexpr std::size_t kLargestCount = std::size_t{1} << 24;

// The bytes a logged string stands for (code points up to U+00FF).
std::string bytesOf(const Json& item) {
    if (!item.is_string()) {
        throw TraceError("expected a string, got " + item.dump());
    }
    const std::string utf8 = item.get<std::string>();
    std::string result;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            result += static_cast<char>(byte);
        } else if ((byte == 0xc2 || byte == 0xc3) && i + 1 < utf8.size()) {
            result += static_cast<char>(((byte & 0x03) << 6) |
                                        (static_cast<unsigned char>(utf8[++i]) & 0x3f));
        } else {
            throw TraceError("a string holds a character beyond U+00FF: " + item.dump());
        }
    }
    return result;
}

}  // namespace

const Json& fieldOf(const Json& line, const char* key) {
    if (!line.contains(key)) {
        throw TraceError(std::string("missing \"") + key + "\"");
    }
    return line.at(key);
}

std::size_t countOf(const Json& line, const char* key) {
    const Json& item = fieldOf(line, key);
    if (!item.is_number_unsigned()) {
        throw TraceError(std::string("\"") + key + "\" must be a count");
    }
    return item.get<std::size_t>();
}

int integerOf(const Json& line, const char* key) {
    const Json& item = fieldOf(line, key);
    if (!item.is_number_integer()) {
        throw TraceError(std::string("\"") + key + "\" must be an integer");
    }
    return item.get<int>();
}

double realOf(const Json& item) {
    double value = 0.0;
    if (!item.is_string() || !host::parseHexFloat(item.get<std::string>(), value)) {
        throw TraceError("expected a hexadecimal float, got " + item.dump());
    }
    return value;
}

std::string handleOf(const Json& line, const char* key) {
    const Json& item = fieldOf(line, key);
    if (!item.is_string()) {
        throw TraceError(std::string("\"") + key + "\" must be a handle");
    }
    return item.get<std::string>();
}

Array<fmi2Real> realsOf(const Json& item, std::size_t n) {
    return arrayOf<fmi2Real>(item, n, realOf);
}

Texts textsOf(const Json& item, std::size_t n) {
    Texts texts;
    texts.pointers = arrayOf<fmi2String>(item, n, [&texts](const Json& value) -> fmi2String {
        if (value.is_null()) {
            return nullptr;
        }
        texts.storage.push_back(bytesOf(value));
        return texts.storage.back().c_str();
    });
    return texts;
}

const char* optionalText(const Json& item, std::string& storage) {
    if (item.is_null()) {
        return nullptr;
    }
    storage = bytesOf(item);
    return storage.c_str();
}

void checkCount(std::size_t n) {
    if (n > kLargestCount) {
        throw CannotReplay("a count of " + std::to_string(n) + " with arrays given");
    }
}

}  // namespace tarvo::trace
