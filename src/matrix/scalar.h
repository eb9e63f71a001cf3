// Scalar helpers beside the matrix library.
#ifndef TARVO_MATRIX_SCALAR_H
#define TARVO_MATRIX_SCALAR_H

#include <cstdint>

namespace tarvo::matrix {

// Truncation toward zero to a 32-bit signed integer; NaN, infinities and
// values outside the int32 range give INT32_MIN. The range is tested
// explicitly, since a plain conversion of such values is undefined in C++.
constexpr int32_t truncateToInt32(double d) {
    return (d > -2147483649.0 && d < 2147483648.0) ? static_cast<int32_t>(d) : INT32_MIN;
}

double scalarRem(double a, double b);
double scalarSquare(double x);
double scalarPow(double a, double b);
int32_t scalarLowBits(double x);
double scalarFromLowBits(int32_t v);

}  // namespace tarvo::matrix

#endif  // TARVO_MATRIX_SCALAR_H
