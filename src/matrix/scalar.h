// Scalar helpers beside the matrix library.
#ifndef TARVO_MATRIX_SCALAR_H
#define TARVO_MATRIX_SCALAR_H

#include "ieee/ieee_arithmetic.h"

#include <cmath>
#include <cstdint>

#include "trig/cos_sin_choice.h"
#if TARVO_PORTABLE_COS_SIN
#include "trig/correctly_rounded_trig.h"
#include "trig/correctly_rounded_trig_fast.h"
#endif

namespace tarvo::matrix {

// Truncation toward zero to a 32-bit signed integer; NaN, infinities and
// values outside the int32 range give INT32_MIN. The range is tested
// explicitly, since a plain conversion of such values is undefined in C++.
constexpr int32_t truncateToInt32(double d) {
    return (d > -2147483649.0 && d < 2147483648.0) ? static_cast<int32_t>(d) : INT32_MIN;
}

#if defined(__MINGW32__)
// MinGW links cos, sin and pow of its own (libmingwex: x87 code, which
// rounds otherwise) ahead of the C runtime's, and GCC merges cos and sin of
// one argument into that library's x87 sincos. Under names of their own,
// which no compiler takes for its built-in functions, and imported, the
// calls go to the C runtime DLL's functions, each on its own.
extern "C" {
__declspec(dllimport) double tarvoRuntimeCos(double) __asm__("cos");
__declspec(dllimport) double tarvoRuntimeSin(double) __asm__("sin");
__declspec(dllimport) double tarvoRuntimePow(double, double) __asm__("pow");
}
#endif

// The C library's cos and sin.
inline double cLibraryCos(double x) {
#if defined(__MINGW32__)
    return tarvoRuntimeCos(x);
#else
    return std::cos(x);
#endif
}

inline double cLibrarySin(double x) {
#if defined(__MINGW32__)
    return tarvoRuntimeSin(x);
#else
    return std::sin(x);
#endif
}

// cos and sin of the angle of the rotation matrix: the C library's, each
// called on its own (a combined sincos may round otherwise on some
// platforms), or the unit's own correctly rounded ones in the portable build.
inline double scalarCos(double x) {
#if TARVO_PORTABLE_COS_SIN
    return trig::correctlyRoundedCos(x);
#else
    return cLibraryCos(x);
#endif
}

inline double scalarSin(double x) {
#if TARVO_PORTABLE_COS_SIN
    return trig::correctlyRoundedSin(x);
#else
    return cLibrarySin(x);
#endif
}

// Both of one angle, the same bits as scalarCos and scalarSin. The GNU C
// library's sincos is its cos and sin in one call (the compiler merges the
// two calls into it anyway); called by name, it stores them where the
// caller wants them.
inline void scalarCosSin(double x, double& cosine, double& sine) {
#if TARVO_PORTABLE_COS_SIN
    trig::correctlyRoundedCosSinInline(x, cosine, sine);
#elif defined(__GLIBC__)
    ::sincos(x, &sine, &cosine);
#else
    cosine = cLibraryCos(x);
    sine = cLibrarySin(x);
#endif
}

double scalarRem(double a, double b);
double scalarSquare(double x);
// pow of the C library, unchanged; matFillPower takes it from here too.
double scalarPow(double a, double b);
int32_t scalarLowBits(double x);
double scalarFromLowBits(int32_t v);

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_SCALAR_H
