// The fast path of the unit's own cos and sin, inline: the reduction of a
// moderate argument, the table combination and its rounding test. Every
// argument it cannot decide goes to cosSinOutOfLine (correctly_rounded_trig.cpp),
// so this header and that file give one function, correctlyRoundedCosSin.
// Inline, the portable build's evaluations take cos and sin without a call,
// which would cost them their registers (every vector register is the
// caller's to save).
#ifndef TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_FAST_H
#define TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_FAST_H

#include "ieee/ieee_arithmetic.h"

#include <cfloat>
#include <cstdint>

#include "ieee/double_bits.h"
#include "trig/correctly_rounded_trig.h"
#include "trig/correctly_rounded_trig_constants.h"

// The fast path is inlined whole into each entry point.
#if defined(__GNUC__)
#define TRIG_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define TRIG_INLINE __forceinline
#else
#define TRIG_INLINE inline
#endif

namespace tarvo::trig {
namespace fast {

namespace tc = constants;
using ieee::bitsOf;
using ieee::fromBits;

static_assert(DBL_MANT_DIG == 53, "IEEE-754 double");

constexpr uint64_t kSignBit = 0x8000000000000000u;
constexpr uint64_t kAbsMask = 0x7FFFFFFFFFFFFFFFu;
constexpr uint64_t kMantissaMask = 0x000FFFFFFFFFFFFFu;
constexpr uint64_t kInfinityBits = 0x7FF0000000000000u;
constexpr uint64_t kQuietNanBits = 0x7FF8000000000000u;

constexpr uint64_t powerOfTwoBits(int exponent) {
    return static_cast<uint64_t>(1023 + exponent) << 52;
}

// Below 2^-27, cos(x) rounds to 1 (1 - cos x < x^2/2 < 2^-55, a quarter of the
// gap below 1) and sin(x) to x (x - sin x < x^3/6 < 2^-55 |x|).
constexpr uint64_t kTinyBits = powerOfTwoBits(-27);
constexpr uint64_t kModerateBits = powerOfTwoBits(15);
static_assert(tc::kModerateLimit == 32768.0, "moderate range ends at 2^15");
constexpr uint64_t kSmallRemainderBits = powerOfTwoBits(-18);
static_assert(tc::kSmallRemainder == 0x1p-18, "same threshold as the error analysis");

// x + kShifter rounds x to an integer held in the low bits (|x| < 2^51).
constexpr double kShifter = 0x1.8p52;
// Veltkamp's splitting constant: x * (2^27 + 1) splits a double into two
// halves of 26 bits.
constexpr double kSplitter = 134217729.0;

constexpr unsigned kQuarterTurn = tc::kTableSteps;  // table steps per quarter turn

// ---------------------------------------------------------------------------
// Fast path

// The reduced argument r = high + low and what the table combination needs.
struct Remainder {
    double high;
    double low;
    double top;  // high = top + rest, 26 bits each
    double rest;
    double cosMinusOne;   // cos(high + low) - 1
    double sinMinusHigh;  // sin(high + low) - high
};

TRIG_INLINE Remainder prepareRemainder(double high, double low) {
    Remainder r;
    r.high = high;
    r.low = low;
    const double scaled = high * kSplitter;
    r.top = scaled - (scaled - high);
    r.rest = high - r.top;
    const double square = high * high;
    double sinPoly = tc::kSin2 + square * tc::kSin3;
    sinPoly = tc::kSin1 + square * sinPoly;
    const double sinTail = (square * high) * sinPoly;  // sin(high) - high
    double cosPoly = tc::kCos2 + square * tc::kCos3;
    cosPoly = tc::kCos1 + square * cosPoly;
    const double cosTail = square * cosPoly;  // cos(high) - 1
    // cos(high + low) - 1 = cos(high) - 1 - low sin(high), sin(high) taken as
    // high (1 + kSin1 high^2): low is below 2^-39, what is left below 2^-87.
    r.cosMinusOne = cosTail - (low * high) * (1.0 + square * tc::kSin1);
    // sin(high + low) - high = sin(high) - high + low cos(high).
    r.sinMinusHigh = sinTail + (low + cosTail * low);
    return r;
}

// p * cos(r) + q * sin(r), or p * cos(r) - q * sin(r) when kMinus, for table
// entries p and q: the nearest double when the rounding test proves it.
// The high part p + q.top * r.top is exact as a pair (the product is exact,
// |p| >= |q r|); the rest is summed with the latest terms last.
template <bool kMinus>
TRIG_INLINE bool combine(const tc::SineEntry& p, const tc::SineEntry& q, const Remainder& r,
                         double& result) {
    const double product = q.top * r.top;
    const double lead = kMinus ? -product : product;
    const double high = p.value + lead;
    const double highError = lead - (high - p.value);
    double rest = q.top * r.rest + q.restLow * r.high;  // the rest of q times r.high
    double sinPart = q.value * r.sinMinusHigh;
    if (kMinus) {
        rest = -rest;
        sinPart = -sinPart;
    }
    const double sum = (((rest + p.low) + highError) + p.value * r.cosMinusOne) + sinPart;
    // high + sum is within |bound| of the exact value (see the constants); if
    // both ends of that interval round alike, so does the exact value.
    const double bound = high * tc::kFastErrorFactor;
    const double upper = high + (sum + bound);
    const double lower = high + (sum - bound);
    result = upper;
    return upper == lower;
}

// Reduction of a moderate |x| < 2^15: x = k * pi/512 + high + low. False
// when x lies so near a zero of sin or cos that the absolute error of the
// reduction would weigh too much (the accurate path then takes over).
TRIG_INLINE bool reduceModerate(double x, unsigned& k, double& high, double& low) {
    const double shifted = x * tc::kInverseStep + kShifter;
    const double kd = shifted - kShifter;
    k = static_cast<unsigned>(bitsOf(shifted));
    // Both differences are exact (see the constants); so is high.
    high = (x - kd * tc::kStep1) - kd * tc::kStep2;
    if ((bitsOf(high) & kAbsMask) < kSmallRemainderBits) {
        if ((k & (kQuarterTurn - 1)) == 0 && kd != 0.0) {
            return false;
        }
    }
    low = -(kd * tc::kStep3);
    return true;
}

// sin(k * pi/512 + high + low), when proved correctly rounded.
TRIG_INLINE bool sinFromReduced(unsigned k, double high, double low, double& result) {
    const unsigned j = k & (kQuarterTurn - 1);
    const unsigned quadrant = (k / kQuarterTurn) & 3u;
    // sin(a + r) = sin a cos r + cos a sin r; in odd quadrants
    // cos(a + r) = cos a cos(-r) + sin a sin(-r).
    const bool odd = (quadrant & 1u) != 0;
    if (odd) {
        high = -high;
        low = -low;
    }
    const unsigned p = odd ? kQuarterTurn - j : j;
    const Remainder r = prepareRemainder(high, low);
    double y = 0.0;
    if (!combine<false>(tc::kSineTable[p], tc::kSineTable[kQuarterTurn - p], r, y)) {
        return false;
    }
    result = (quadrant & 2u) != 0 ? -y : y;
    return true;
}

// cos and sin of k * pi/512 + high + low, when both are proved correctly rounded.
TRIG_INLINE bool cosSinFromReduced(unsigned k, double high, double low, double& cosine,
                                   double& sine) {
    const unsigned j = k & (kQuarterTurn - 1);
    const unsigned quadrant = (k / kQuarterTurn) & 3u;
    const Remainder r = prepareRemainder(high, low);
    const tc::SineEntry& sinA = tc::kSineTable[j];
    const tc::SineEntry& cosA = tc::kSineTable[kQuarterTurn - j];
    double sinSum = 0.0;  // sin(a + r)
    double cosSum = 0.0;  // cos(a + r)
    const bool sinDecided = combine<false>(sinA, cosA, r, sinSum);
    const bool cosDecided = combine<true>(cosA, sinA, r, cosSum);
    if (!(sinDecided && cosDecided)) {
        return false;
    }
    const bool odd = (quadrant & 1u) != 0;
    const double sinMagnitude = odd ? cosSum : sinSum;
    const double cosMagnitude = odd ? sinSum : cosSum;
    sine = (quadrant & 2u) != 0 ? -sinMagnitude : sinMagnitude;
    cosine = ((quadrant + 1u) & 2u) != 0 ? -cosMagnitude : cosMagnitude;
    return true;
}

// cos and sin of an argument outside the moderate range, or whose fast
// results are not proved; `first` as for correctlyRoundedCosSinTraced.
TrigPath cosSinOutOfLine(double x, uint64_t absBits, double& cosine, double& sine,
                         TrigPath first);

TRIG_INLINE TrigPath cosSin(double x, double& cosine, double& sine, TrigPath first) {
    const uint64_t absBits = bitsOf(x) & kAbsMask;
    if (absBits < kTinyBits) {
        cosine = 1.0;
        sine = x;
        return TrigPath::kSpecial;
    }
    if (absBits < kModerateBits && first == TrigPath::kFast) {
        unsigned k = 0;
        double high = 0.0;
        double low = 0.0;
        if (reduceModerate(x, k, high, low) && cosSinFromReduced(k, high, low, cosine, sine)) {
            return TrigPath::kFast;
        }
        first = TrigPath::kAccurate;
    }
    return cosSinOutOfLine(x, absBits, cosine, sine, first);
}

}  // namespace fast

// correctlyRoundedCosSin, inline.
TRIG_INLINE void correctlyRoundedCosSinInline(double x, double& cosine, double& sine) {
    fast::cosSin(x, cosine, sine, TrigPath::kFast);
}

}  // namespace tarvo::trig

#endif  // TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_FAST_H
