#include "ieee/ieee_arithmetic.h"

#include "fmi3/logging.h"

#include <cstdarg>
#include <cstdio>

namespace tarvo::fmi3 {

namespace {

constexpr const char kErrorCategory[] = "error";

#if defined(__MINGW32__)
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The C runtime DLL writes every exponent with three digits (1e-006), C99
// with two at the least (1e-06): the same message on every platform.
void dropExponentZero(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        const bool paddedExponent = out != text && isDigit(out[-1]) && in[0] == 'e' &&
                                    (in[1] == '+' || in[1] == '-') && in[2] == '0' &&
                                    isDigit(in[3]) && isDigit(in[4]) && !isDigit(in[5]);
        *out++ = *in;
        if (paddedExponent) {
            *out++ = in[1];
            in += 2;
        }
    }
    *out = '\0';
}
#endif

// The message with its arguments, cut short where it does not fit; null
// when it cannot be formatted. With MinGW the C runtime DLL formats it:
// MinGW's own C99 formatter, which its vsnprintf is, would link a lock and
// an exit handler of MinGW's runtime library into the unit.
const char* formatMessage(char (&text)[512], const char* message, va_list arguments) {
#if defined(__MINGW32__)
    // Writes at most the count given, and ends the text only where it fits.
    _vsnprintf(text, sizeof text - 1, message, arguments);
    text[sizeof text - 1] = '\0';
    dropExponentZero(text);
    return text;
#else
    return std::vsnprintf(text, sizeof text, message, arguments) < 0 ? nullptr : text;
#endif
}

}  // namespace

void logMessage(const HostBinding& host, fmi3Status status, const char* message, ...) {
    if (host.logMessage == nullptr) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, message);
    const char* const formatted = formatMessage(text, message, arguments);
    va_end(arguments);
    host.logMessage(host.environment, status, kErrorCategory,
                    formatted == nullptr ? message : formatted);
}

}  // namespace tarvo::fmi3
