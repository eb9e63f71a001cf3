// The fast equations take cos and sin of the angle once each, and the
// compiler turns the pair into one sincos call at -O2 and above, while an
// unoptimised build calls cos and sin. Both give the same bits only if this
// platform's sincos equals its separate cos and sin: checked here over
// several million arguments of every magnitude, the special values and the
// neighbourhoods of the multiples of pi/2.
#include <gtest/gtest.h>

#include <math.h>

#include <cinttypes>
#include <cstdint>
#include <limits>

#include "ieee/double_bits.h"

namespace {

// Called through pointers the compiler cannot see through, so that no call
// is fused into sincos here.
double (*volatile separateCos)(double) = ::cos;
double (*volatile separateSin)(double) = ::sin;
void (*volatile fusedSinCos)(double, double*, double*) = ::sincos;

using tarvo::ieee::bitsOf;
using tarvo::ieee::fromBits;

long mismatches = 0;

void check(double x) {
    double s = 0.0;
    double c = 0.0;
    fusedSinCos(x, &s, &c);
    const uint64_t expectedSin = bitsOf(separateSin(x));
    const uint64_t expectedCos = bitsOf(separateCos(x));
    if (bitsOf(s) != expectedSin || bitsOf(c) != expectedCos) {
        if (++mismatches <= 10) {
            ADD_FAILURE() << "sincos differs from sin and cos at " << x << " (0x" << std::hex
                          << bitsOf(x) << ")";
        }
    }
}

uint64_t next(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

TEST(SinCos, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double specials[] = {0.0,
                               -0.0,
                               inf,
                               -inf,
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               5e-324,
                               -5e-324,
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::max(),
                               -std::numeric_limits<double>::max(),
                               1.0,
                               -1.0,
                               0.855469,
                               2.426265,
                               105414350.0,
                               281474976710656.0};
    for (double x : specials) {
        check(x);
    }
    EXPECT_EQ(mismatches, 0);
}

// Random bit patterns: every exponent, both signs.
TEST(SinCos, ArgumentsOfEveryMagnitude) {
    uint64_t state = 1;
    for (int i = 0; i < 2000000; ++i) {
        check(fromBits(next(state)));
    }
    EXPECT_EQ(mismatches, 0);
}

// The range the model's angles live in, densely, and the neighbourhoods of
// the multiples of pi/2 where the argument reduction works hardest.
TEST(SinCos, SmallAnglesAndMultiplesOfHalfPi) {
    uint64_t state = 2;
    for (int i = 0; i < 2000000; ++i) {
        const double unit = static_cast<double>(next(state) >> 11) * 0x1.0p-53;
        check((unit - 0.5) * 16.0);
    }
    const double halfPi = 1.5707963267948966;
    for (int k = -2000; k <= 2000; ++k) {
        const double centre = k * halfPi;
        double x = centre;
        for (int ulp = 0; ulp < 64; ++ulp) {
            check(x);
            check(-x);
            x = std::nextafter(x, std::numeric_limits<double>::infinity());
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
