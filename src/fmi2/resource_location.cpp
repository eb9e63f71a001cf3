#include "ieee/ieee_arithmetic.h"

#include "fmi2/resource_location.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace tarvo::fmi2 {

namespace {

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Positions at or beyond the end of the string are not ':'.
bool isColonAt(const char* text, size_t length, size_t index) {
    return index < length && text[index] == ':';
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Characters of the file-scheme prefix to drop. A drive letter keeps no
// slash before it (file:///D:/dir gives D:/dir); otherwise one slash stays
// for an absolute path, two for a network path.
size_t schemePrefixLength(const char* location, size_t length) {
    if (startsWith(location, "file:///")) {
        return isColonAt(location, length, 9) ? 8 : 7;
    }
    if (startsWith(location, "file://")) {
        return 5;
    }
    if (startsWith(location, "file:/")) {
        return isColonAt(location, length, 7) ? 6 : 5;
    }
    return 0;
}

char decodeEscape(char high, char low) {
    const char digits[3] = {high, low, '\0'};
    return static_cast<char>(std::strtol(digits, nullptr, 16));
}

char toBackslash(char c) {
    return c == '/' ? '\\' : c;
}

}  // namespace

char* convertResourceLocation(const fmi2CallbackFunctions* functions, const char* location) {
    if (location == nullptr || functions == nullptr || functions->allocateMemory == nullptr) {
        return nullptr;
    }
    const size_t length = std::strlen(location);
    if (length == 0) {
        return nullptr;
    }
    const size_t skip = schemePrefixLength(location, length);
    const size_t rest = length - skip;

    // Escapes only shrink the text: rest characters, one backslash, the zero.
    char* path = static_cast<char*>(functions->allocateMemory(rest + 2, 1));
    if (path == nullptr) {
        return nullptr;
    }

    size_t written = 0;
    for (size_t i = skip; i < length; ++i) {
        const char c = location[i];
        // The second test runs only when the first digit is not the terminator.
        if (c == '%' && isHexDigit(location[i + 1]) && isHexDigit(location[i + 2])) {
            path[written++] = toBackslash(decodeEscape(location[i + 1], location[i + 2]));
            i += 2;
        } else {
            path[written++] = toBackslash(c);
        }
    }
    // written >= 1: at least one character follows every prefix.
    if (path[written - 1] != '\\') {
        path[written++] = '\\';
    }
    path[written] = '\0';
    return path;
}

}  // namespace tarvo::fmi2
