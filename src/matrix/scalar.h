// Scalar helpers beside the matrix library.
#ifndef TARVO_MATRIX_SCALAR_H
#define TARVO_MATRIX_SCALAR_H

#include "matrix/ieee_arithmetic.h"

#include <cmath>
#include <cstdint>

#include "matrix/cos_sin_choice.h"
#if TARVO_PORTABLE_COS_SIN
#include "matrix/correctly_rounded_trig.h"
#endif

namespace tarvo::matrix {

// Truncation toward zero to a 32-bit signed integer; NaN, infinities and
// values outside the int32 range give INT32_MIN. The range is tested
// explicitly, since a plain conversion of such values is undefined in C++.
constexpr int32_t truncateToInt32(double d) {
    return (d > -2147483649.0 && d < 2147483648.0) ? static_cast<int32_t>(d) : INT32_MIN;
}

// cos and sin of the angle of the rotation matrix: the C library's, each
// called on its own (a combined sincos may round otherwise on some
// platforms), or the unit's own correctly rounded ones in the portable build.
inline double scalarCos(double x) {
#if TARVO_PORTABLE_COS_SIN
    return correctlyRoundedCos(x);
#else
    return std::cos(x);
#endif
}

inline double scalarSin(double x) {
#if TARVO_PORTABLE_COS_SIN
    return correctlyRoundedSin(x);
#else
    return std::sin(x);
#endif
}

// Both of one angle, the same bits as scalarCos and scalarSin.
inline void scalarCosSin(double x, double& cosine, double& sine) {
#if TARVO_PORTABLE_COS_SIN
    correctlyRoundedCosSin(x, cosine, sine);
#else
    cosine = std::cos(x);
    sine = std::sin(x);
#endif
}

double scalarRem(double a, double b);
double scalarSquare(double x);
double scalarPow(double a, double b);
int32_t scalarLowBits(double x);
double scalarFromLowBits(int32_t v);

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_SCALAR_H
