// MinGW's own formatting (%zu, two-digit exponents), not the C runtime's.
#if defined(__MINGW32__) && !defined(__USE_MINGW_ANSI_STDIO)
#define __USE_MINGW_ANSI_STDIO 1
#endif
#include "ieee/ieee_arithmetic.h"

#include "fmi3/logging.h"

#include <cstdarg>
#include <cstdio>

namespace tarvo::fmi3 {

namespace {

constexpr const char kErrorCategory[] = "error";

}  // namespace

void logMessage(const HostBinding& host, fmi3Status status, const char* message, ...) {
    if (host.logMessage == nullptr) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, message);
    const int length = std::vsnprintf(text, sizeof text, message, arguments);
    va_end(arguments);
    host.logMessage(host.environment, status, kErrorCategory, length < 0 ? message : text);
}

}  // namespace tarvo::fmi3
