// Scalar helpers beside the matrix library.
#include "ieee/ieee_arithmetic.h"

#include "matrix/scalar.h"

#include <cmath>
#include <cstring>

#include "ieee/double_bits.h"

namespace tarvo::matrix {

// a less the whole multiple q x b, q being a / b truncated through a 32-bit
// integer: the result keeps the sign of a, and a zero divisor gives a back.
double scalarRem(double a, double b) {
    const double quotient = a / b;
    const int32_t q = truncateToInt32(quotient);
    const double multiple = static_cast<double>(q) * b;
    return a - multiple;
}

double scalarSquare(double x) {
    return x * x;
}

// glibc 2.29 brought a new pow and with it the symbol version pow@GLIBC_2.29,
// the only one the unit would need from a glibc newer than 2.17. The first
// version, pow@GLIBC_2.2.5 (x86-64) or pow@GLIBC_2.17 (aarch64), is the same
// function behind a wrapper for the old error conventions that changes no
// result (tests/host/glibc_floor_test.cpp compares both bit for bit); bound
// to it, the library loads on every glibc from 2.17 on.
#if defined(__GLIBC__) && defined(__x86_64__) && defined(__LP64__)
__asm__(".symver pow,pow@GLIBC_2.2.5");
#elif defined(__GLIBC__) && defined(__aarch64__) && defined(__LP64__)
__asm__(".symver pow,pow@GLIBC_2.17");
#endif

double scalarPow(double a, double b) {
#if defined(__MINGW32__)
    return tarvoRuntimePow(a, b);
#else
    return std::pow(a, b);
#endif
}

// The low-order 32 bits of the representation, taken as they are.
int32_t scalarLowBits(double x) {
    const uint32_t low = static_cast<uint32_t>(ieee::bitsOf(x) & 0xFFFFFFFFu);
    int32_t bits = 0;
    std::memcpy(&bits, &low, sizeof bits);
    return bits;
}

// Only the low-order 32 bits are set; the high-order ones stay zero, so the
// result is a subnormal (or +0.0).
double scalarFromLowBits(int32_t v) {
    uint32_t low = 0;
    std::memcpy(&low, &v, sizeof low);
    return ieee::fromBits(low);
}

}  // namespace tarvo::matrix
