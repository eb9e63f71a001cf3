#include "host/hex_float.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarvo::host {

std::string formatHexFloat(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0.0 ? "-inf" : "inf";
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const unsigned biasedExponent = static_cast<unsigned>((bits >> 52) & 0x7ffu);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    std::string text = negative ? "-" : "";
    if (biasedExponent == 0 && fraction == 0) {
        return text + "0x0.0p+0";
    }
    // Normal numbers carry the implicit leading 1; subnormals are written
    // with a leading 0 at the smallest normal exponent.
    const int leadingDigit = biasedExponent == 0 ? 0 : 1;
    const int exponent = biasedExponent == 0 ? -1022 : static_cast<int>(biasedExponent) - 1023;
    char digits[40];
    std::snprintf(digits, sizeof digits, "0x%d.%013llxp%+d", leadingDigit,
                  static_cast<unsigned long long>(fraction), exponent);
    return text + digits;
}

bool parseHexFloat(const std::string& text, double& value) {
    if (text == "nan") {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (text == "inf" || text == "-inf") {
        value = text[0] == '-' ? -std::numeric_limits<double>::infinity()
                               : std::numeric_limits<double>::infinity();
        return true;
    }
    // strtod reads hexadecimal floats exactly (rounding only digits beyond
    // 53 bits), but it also takes blanks, decimals and "infinity": accept
    // only a signed 0x form consumed to the end.
    std::size_t prefix = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        prefix = 1;
    }
    if (text.size() < prefix + 3 || text[prefix] != '0' ||
        (text[prefix + 1] != 'x' && text[prefix + 1] != 'X') ||
        (!std::isxdigit(static_cast<unsigned char>(text[prefix + 2])) &&
         text[prefix + 2] != '.')) {
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || std::isinf(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace tarvo::host
