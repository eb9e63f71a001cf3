// cos and sin correctly rounded to nearest, from double operations and
// integer arithmetic alone (docs/trig.md has the error analysis).
//
// Three paths, each deciding whether its result is certainly the correctly
// rounded one:
//   fast      x = k * pi/512 + r, r a double-double with |r| <= pi/1024;
//             sin and cos of k * pi/512 from a table, of r from short
//             polynomials, combined in double-double; a rounding test with
//             the proved error bound (how often it fails: docs/trig.md);
//   accurate  the same reduction and Taylor series in 96-bit fixed point;
//   multi-precision  the same at 192, 384 and 768 bits.
// A result of cos or sin of a nonzero double is never a midpoint between two
// doubles (it is transcendental), so a precise enough computation always
// decides; published searches of the hardest cases of sin and cos over all
// doubles show that far fewer than 192 bits are ever needed.
#include "ieee/ieee_arithmetic.h"

#include "trig/correctly_rounded_trig.h"
#include "trig/correctly_rounded_trig_fast.h"

#include <cstdint>
#include <cstring>

#include "ieee/double_bits.h"
#include "trig/correctly_rounded_trig_constants.h"

// The rare paths stay out of line.
#if defined(__GNUC__)
#define TRIG_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define TRIG_NOINLINE __declspec(noinline)
#else
#define TRIG_NOINLINE
#endif

namespace tarvo::trig {
namespace {

using namespace fast;

// Leading zero bits of a nonzero 64-bit word.
int leadingZeros(uint64_t word) {
    int count = 0;
    for (int step = 32; step > 0; step /= 2) {
        if ((word >> (64 - step)) == 0) {
            word <<= step;
            count += step;
        }
    }
    return count;
}

// Fixed-point precision of the slow paths, in 32-bit limbs: at most
// kMaxLimbs, and the reduced fraction of x * 2/pi is taken with
// kFractionExtraLimbs more, since it has at most
// kReducedFractionMaxLeadingZeros leading zero bits for x >= 1/2 and at most
// 28 below (x >= 2^-27 there, x * 2/pi itself).
constexpr int kMaxLimbs = 24;
constexpr int kFractionExtraLimbs = 3;
// The window of 2/pi is this much longer than the fraction it gives.
constexpr int kWindowExtraWords = 3;
// For x = m 2^E the window starts at bit E - 1 of 2/pi; E <= 971.
constexpr int kLastStartWord = (971 - 2) / 32;
static_assert(kLastStartWord + kMaxLimbs + kFractionExtraLimbs + kWindowExtraWords <
                  tc::kTwoOverPiWords,
              "2/pi has the bits for the largest doubles at the highest precision");

// The bits of |x| * 2^shift * 2/pi: returns the integer part modulo 2^32 and
// writes `count` 32-bit limbs of the fraction (little-endian), truncated.
// |x| = mantissa * 2^exponent. Bits of 2/pi that only add multiples of
// 2^(shift + 2) are skipped; the window of 2/pi is three limbs longer than
// the fraction, so what lies beyond it changes the fraction by less than
// 2^-33 of its last limb.
uint32_t reduceBits(uint64_t mantissa, int exponent, int shift, uint32_t* fraction, int count) {
    constexpr int kMaxCount = kMaxLimbs + kFractionExtraLimbs;
    constexpr int kExtra = kWindowExtraWords;
    const int windowWords = count + kExtra;
    const int first = exponent - 1 > 1 ? exponent - 1 : 1;  // first bit of 2/pi, from 1
    const int wordIndex = (first - 1) / 32;
    const int bitOffset = (first - 1) % 32;
    uint32_t window[kMaxCount + kExtra];  // little-endian
    for (int i = 0; i < windowWords; ++i) {
        const int source = wordIndex + windowWords - 1 - i;
        uint32_t word = tc::kTwoOverPi[source] << bitOffset;
        if (bitOffset != 0) {
            word |= tc::kTwoOverPi[source + 1] >> (32 - bitOffset);
        }
        window[i] = word;
    }
    const uint64_t mantissaLow = mantissa & 0xFFFFFFFFu;
    const uint64_t mantissaHigh = mantissa >> 32;
    uint32_t product[kMaxCount + kExtra + 2];
    uint64_t carry = 0;
    for (int i = 0; i < windowWords; ++i) {
        const uint64_t t = mantissaLow * window[i] + carry;
        product[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    product[windowWords] = static_cast<uint32_t>(carry);
    product[windowWords + 1] = 0;
    carry = 0;
    for (int i = 0; i < windowWords; ++i) {
        const uint64_t t = mantissaHigh * window[i] + product[i + 1] + carry;
        product[i + 1] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    product[windowWords + 1] = static_cast<uint32_t>(carry);
    const int productLimbs = windowWords + 2;
    // The binary point of |x| * 2^shift * 2/pi lies below bit `point` of product.
    const int point = first + 32 * windowWords - 1 - exponent - shift;
    const auto bitsAt = [&](int start) -> uint32_t {  // 32 bits from bit `start` up
        const int limb = start / 32;
        const int offset = start % 32;
        const uint64_t low = limb < productLimbs ? product[limb] : 0;
        const uint64_t high = limb + 1 < productLimbs ? product[limb + 1] : 0;
        return static_cast<uint32_t>(((high << 32) | low) >> offset);
    };
    for (int i = 0; i < count; ++i) {
        fraction[i] = bitsAt(point - 32 * (count - i));
    }
    return bitsAt(point);
}

// Reduction of a large |x| (2^15 <= |x| < infinity) for the fast path: k
// modulo a turn and r = (x * 512/pi - k) * pi/512 as a double-double within
// 2^-100 |r|. False when the fraction is below 2^-13 (the accurate path then
// takes over).
bool reduceLarge(uint64_t absBits, unsigned& k, double& high, double& low) {
    const int exponent = static_cast<int>(absBits >> 52) - 1075;
    const uint64_t mantissa = (absBits & kMantissaMask) | (uint64_t{1} << 52);
    uint32_t fraction[4];
    k = reduceBits(mantissa, exponent, 8, fraction, 4);
    uint64_t upper = (uint64_t{fraction[3]} << 32) | fraction[2];
    uint64_t lower = (uint64_t{fraction[1]} << 32) | fraction[0];
    bool negative = false;
    if ((upper >> 63) != 0) {  // fraction >= 1/2: round k up, fraction - 1
        ++k;
        negative = true;
        lower = ~lower + 1;
        upper = ~upper + (lower == 0 ? 1 : 0);
    }
    if (upper < (uint64_t{1} << 51)) {
        return false;
    }
    const int zeros = leadingZeros(upper);  // at most 12
    if (zeros != 0) {
        upper = (upper << zeros) | (lower >> (64 - zeros));
        lower <<= zeros;
    }
    const double scale = fromBits(powerOfTwoBits(-53 - zeros));
    const double fractionHigh = static_cast<double>(upper >> 11) * scale;
    const double fractionLow =
        static_cast<double>(((upper & 0x7FFu) << 42) | (lower >> 22)) * (scale * 0x1p-53);
    // (fractionHigh + fractionLow) * pi/512; the first product exact (Dekker).
    const double scaled = fractionHigh * kSplitter;
    const double fTop = scaled - (scaled - fractionHigh);
    const double fRest = fractionHigh - fTop;
    const double product = fractionHigh * tc::kStepHigh;
    const double productError = ((fTop * tc::kStepHighTop - product) + fTop * tc::kStepHighRest +
                                 fRest * tc::kStepHighTop) +
                                fRest * tc::kStepHighRest;
    const double tail =
        productError + (fractionHigh * tc::kStepLow + fractionLow * tc::kStepHigh);
    high = product + tail;
    low = tail - (high - product);
    if (negative) {
        high = -high;
        low = -low;
    }
    return true;
}

// reduceLarge with the sign of x.
bool reduceLargeSigned(double x, uint64_t absBits, unsigned& k, double& high, double& low) {
    if (!reduceLarge(absBits, k, high, low)) {
        return false;
    }
    if ((bitsOf(x) & kSignBit) != 0) {
        k = 0u - k;
        high = -high;
        low = -low;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Accurate and multi-precision paths: fixed-point numbers of n 32-bit limbs,
// little-endian, worth limbs / 2^(32 n), all in [0, 1).

constexpr int kAccurateLimbs = 3;
constexpr int kMultiPrecisionLimbs[] = {6, 12, 24};
static_assert(kMultiPrecisionLimbs[2] == kMaxLimbs, "the last precision is the largest");
static_assert(32 * kFractionExtraLimbs >= tc::kReducedFractionMaxLeadingZeros + 32,
              "the extra limbs cover the leading zeros of the reduced fraction");
static_assert(kMaxLimbs + 1 < tc::kQuarterPiWords, "pi/4 has the bits for the highest precision");
// Bound of the error of sin(theta) and cos(theta), normalised to [1/2, 1), in
// units of the last limb (docs/trig.md: below 200 for every precision used).
constexpr uint64_t kErrorUnits = 1024;

using Limbs = uint32_t[kMaxLimbs + kFractionExtraLimbs];

bool isZero(const uint32_t* a, int n) {
    for (int i = 0; i < n; ++i) {
        if (a[i] != 0) {
            return false;
        }
    }
    return true;
}

// out = a * b truncated to n limbs (error below one unit).
void multiply(const uint32_t* a, const uint32_t* b, uint32_t* out, int n) {
    uint32_t full[2 * kMaxLimbs] = {};
    for (int i = 0; i < n; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < n; ++j) {
            const uint64_t t = uint64_t{a[i]} * b[j] + full[i + j] + carry;
            full[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        full[i + n] = static_cast<uint32_t>(carry);
    }
    for (int i = 0; i < n; ++i) {
        out[i] = full[n + i];
    }
}

// a /= divisor, truncated (error below one unit).
void divide(uint32_t* a, int n, uint32_t divisor) {
    uint64_t remainder = 0;
    for (int i = n - 1; i >= 0; --i) {
        const uint64_t current = (remainder << 32) | a[i];
        a[i] = static_cast<uint32_t>(current / divisor);
        remainder = current % divisor;
    }
}

// a += b or a -= b (no overflow: the results stay in [0, 1)).
void add(uint32_t* a, const uint32_t* b, int n) {
    uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
        const uint64_t t = uint64_t{a[i]} + b[i] + carry;
        a[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
}

void subtract(uint32_t* a, const uint32_t* b, int n) {
    uint64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
        const uint64_t t = uint64_t{a[i]} - b[i] - borrow;
        a[i] = static_cast<uint32_t>(t);
        borrow = (t >> 32) & 1u;
    }
}

void shiftLeft(uint32_t* a, int n, int bits) {
    const int limbs = bits / 32;
    const int offset = bits % 32;
    for (int i = n - 1; i >= 0; --i) {
        const int source = i - limbs;
        uint32_t word = source >= 0 ? a[source] << offset : 0;
        if (offset != 0 && source - 1 >= 0) {
            word |= a[source - 1] >> (32 - offset);
        }
        a[i] = word;
    }
}

void shiftRight(uint32_t* a, int n, int bits) {
    const int limbs = bits / 32;
    const int offset = bits % 32;
    for (int i = 0; i < n; ++i) {
        const int source = i + limbs;
        uint32_t word = source < n ? a[source] >> offset : 0;
        if (offset != 0 && source + 1 < n) {
            word |= a[source + 1] << (32 - offset);
        }
        a[i] = word;
    }
}

// Shifts a nonzero a left until its top bit is set; returns the shift.
int normalize(uint32_t* a, int n) {
    int shift = 0;
    int top = n - 1;
    while (a[top] == 0) {
        --top;
        shift += 32;
    }
    uint32_t word = a[top];
    while ((word & 0x80000000u) == 0) {
        word <<= 1;
        ++shift;
    }
    shiftLeft(a, n, shift);
    return shift;
}

// The double nearest to a * 2^-scale (a normalised, error below kErrorUnits
// units of its last limb), with the given sign; false when the error bound
// straddles a midpoint between two doubles.
bool roundFixed(const uint32_t* a, int n, int scale, bool negative, double& result) {
    const int bits = 32 * n;
    // 64 bits from bit `start` up (bits below 0 read as zeros).
    const auto bitsFrom = [&](int start) -> uint64_t {
        uint64_t value = 0;
        for (int i = 63; i >= 0; --i) {
            const int bit = start + i;
            const uint64_t b = bit >= 0 && bit < bits ? (a[bit / 32] >> (bit % 32)) & 1u : 0;
            value = (value << 1) | b;
        }
        return value;
    };
    uint64_t mantissa = bitsFrom(bits - 64) >> 11;  // the leading 53 bits
    const int drop = bits - 53 - 64;                // the 64 bits below them start here
    const uint64_t tail = bitsFrom(drop);
    // The error bound in units of the tail's last bit: exact when the tail
    // holds every bit below the mantissa; else rounded up, one more unit for
    // the bits the tail leaves out.
    uint64_t error = 2;
    if (drop <= 0) {
        error = kErrorUnits << -drop;
    } else if (drop < 64) {
        error += kErrorUnits >> drop;
    }
    constexpr uint64_t kHalf = uint64_t{1} << 63;
    const bool up = tail > kHalf;  // nearest to the computed value
    const bool decided = up ? tail - kHalf > error : kHalf - tail > error;
    if (up) {
        ++mantissa;
    }
    int exponent = -1 - scale;  // a in [1/2, 1): leading bit worth 2^(-1 - scale)
    if (mantissa == (uint64_t{1} << 53)) {
        mantissa >>= 1;
        ++exponent;
    }
    const uint64_t representation = (static_cast<uint64_t>(1023 + exponent) << 52) |
                                    (mantissa & kMantissaMask) | (negative ? kSignBit : 0);
    result = fromBits(representation);
    return decided;
}

// cos(x) and sin(x) through n-limb fixed point. Returns true when every
// wanted result is proved correctly rounded.
bool fixedPointCosSin(double x, uint64_t absBits, int n, bool wantCos, bool wantSin,
                      double& cosine, double& sine) {
    const int exponentField = static_cast<int>(absBits >> 52);
    const int exponent = exponentField - 1075;
    const uint64_t mantissa = (absBits & kMantissaMask) | (uint64_t{1} << 52);
    // |x| * 2/pi = quadrant + f, |f| <= 1/2.
    const int fractionLimbs = n + kFractionExtraLimbs;
    Limbs fraction = {};
    unsigned quadrant = reduceBits(mantissa, exponent, 0, fraction, fractionLimbs);
    bool thetaNegative = false;
    if ((fraction[fractionLimbs - 1] >> 31) != 0) {
        ++quadrant;
        thetaNegative = true;
        Limbs zero = {};
        subtract(zero, fraction, fractionLimbs);  // 0 - f modulo 1 = 1 - f
        std::memcpy(fraction, zero, sizeof zero);
    }
    quadrant &= 3u;
    if (isZero(fraction, fractionLimbs)) {
        return false;  // cannot happen: no double is a multiple of pi/2
    }
    // theta = |f| * pi/2 = F 2^-fShift * (pi/4) * 2, F normalised, n limbs.
    const int fShift = normalize(fraction, fractionLimbs);
    const uint32_t* f = fraction + kFractionExtraLimbs;
    Limbs quarterPi = {};
    for (int i = 0; i < n; ++i) {
        quarterPi[i] = tc::kQuarterPi[n - 1 - i];
    }
    Limbs theta = {};
    multiply(f, quarterPi, theta, n);
    int thetaShift = fShift - 1 + normalize(theta, n);  // theta = Theta 2^-thetaShift
    // u = theta^2 as a fraction.
    Limbs u = {};
    multiply(theta, theta, u, n);
    if (2 * thetaShift >= 32 * n) {
        std::memset(u, 0, sizeof u);
    } else {
        shiftRight(u, n, 2 * thetaShift);
    }
    // 1 - cos(theta) = u/2 - u^2/24 + ..., 1 - sin(theta)/theta = u/6 - u^2/120 + ...
    Limbs cosTerm = {};
    Limbs sinTerm = {};
    Limbs cosSeries = {};
    Limbs sinSeries = {};
    std::memcpy(cosTerm, u, sizeof u);
    divide(cosTerm, n, 2);
    for (uint32_t i = 1; !isZero(cosTerm, n); ++i) {
        std::memcpy(sinTerm, cosTerm, sizeof cosTerm);
        divide(sinTerm, n, 2 * i + 1);
        if (i % 2 == 1) {
            add(cosSeries, cosTerm, n);
            add(sinSeries, sinTerm, n);
        } else {
            subtract(cosSeries, cosTerm, n);
            subtract(sinSeries, sinTerm, n);
        }
        multiply(sinTerm, u, cosTerm, n);
        divide(cosTerm, n, 2 * i + 2);
    }
    // cos(theta) = 1 - cosSeries and sin(theta)/theta = 1 - sinSeries, as
    // complements (one unit low, within the error bound).
    Limbs cosTheta = {};
    Limbs sinRatio = {};
    for (int i = 0; i < n; ++i) {
        cosTheta[i] = ~cosSeries[i];
        sinRatio[i] = ~sinSeries[i];
    }
    Limbs sinTheta = {};
    multiply(theta, sinRatio, sinTheta, n);
    const int sinShift = thetaShift + normalize(sinTheta, n);
    const int cosShift = normalize(cosTheta, n);
    // sin(x) = sign(x) [sin t, cos t, -sin t, -cos t][quadrant], t = +-theta;
    // cos(x) = [cos t, -sin t, -cos t, sin t][quadrant].
    const bool xNegative = (bitsOf(x) & kSignBit) != 0;
    const bool odd = (quadrant & 1u) != 0;
    bool decided = true;
    if (wantSin) {
        const bool negative = (((quadrant & 2u) != 0) != (!odd && thetaNegative)) != xNegative;
        decided &= odd ? roundFixed(cosTheta, n, cosShift, negative, sine)
                       : roundFixed(sinTheta, n, sinShift, negative, sine);
    }
    if (wantCos) {
        const bool negative = (((quadrant + 1u) & 2u) != 0) != (odd && thetaNegative);
        decided &= odd ? roundFixed(sinTheta, n, sinShift, negative, cosine)
                       : roundFixed(cosTheta, n, cosShift, negative, cosine);
    }
    return decided;
}

// The result for an infinity or NaN x: a quiet NaN, the same bits on every
// machine for the infinities, x itself (quieted) for a NaN.
double notANumber(double x, uint64_t absBits) {
    return absBits == kInfinityBits ? fromBits(kQuietNanBits) : x + x;
}

// The accurate path, then the multi-precision path until decided.
TRIG_NOINLINE TrigPath slowCosSin(double x, uint64_t absBits, bool wantCos, bool wantSin,
                                  double& cosine, double& sine, TrigPath first) {
    if (first != TrigPath::kMultiPrecision &&
        fixedPointCosSin(x, absBits, kAccurateLimbs, wantCos, wantSin, cosine, sine)) {
        return TrigPath::kAccurate;
    }
    for (const int limbs : kMultiPrecisionLimbs) {
        if (fixedPointCosSin(x, absBits, limbs, wantCos, wantSin, cosine, sine)) {
            break;
        }
    }
    return TrigPath::kMultiPrecision;
}

// sin (quadrantOffset 0) or cos (1) of an argument outside the moderate
// range, or whose fast result is not proved.
TRIG_NOINLINE double singleOutOfLine(double x, uint64_t absBits, unsigned quadrantOffset,
                                     bool tryFast) {
    if (absBits >= kInfinityBits) {
        return notANumber(x, absBits);
    }
    unsigned k = 0;
    double high = 0.0;
    double low = 0.0;
    double result = 0.0;
    if (tryFast && reduceLargeSigned(x, absBits, k, high, low) &&
        sinFromReduced(k + quadrantOffset * kQuarterTurn, high, low, result)) {
        return result;
    }
    double unused = 0.0;
    if (quadrantOffset == 0) {
        slowCosSin(x, absBits, false, true, unused, result, TrigPath::kAccurate);
    } else {
        slowCosSin(x, absBits, true, false, result, unused, TrigPath::kAccurate);
    }
    return result;
}

TRIG_INLINE double single(double x, unsigned quadrantOffset) {
    const uint64_t absBits = bitsOf(x) & kAbsMask;
    if (absBits < kTinyBits) {
        return quadrantOffset == 0 ? x : 1.0;
    }
    if (absBits < kModerateBits) {
        unsigned k = 0;
        double high = 0.0;
        double low = 0.0;
        double result = 0.0;
        if (reduceModerate(x, k, high, low) &&
            sinFromReduced(k + quadrantOffset * kQuarterTurn, high, low, result)) {
            return result;
        }
        return singleOutOfLine(x, absBits, quadrantOffset, false);
    }
    return singleOutOfLine(x, absBits, quadrantOffset, true);
}

}  // namespace

TrigPath fast::cosSinOutOfLine(double x, uint64_t absBits, double& cosine, double& sine,
                               TrigPath first) {
    if (absBits >= kInfinityBits) {
        cosine = notANumber(x, absBits);
        sine = cosine;
        return TrigPath::kSpecial;
    }
    if (first == TrigPath::kFast && absBits >= kModerateBits) {
        unsigned k = 0;
        double high = 0.0;
        double low = 0.0;
        if (reduceLargeSigned(x, absBits, k, high, low) &&
            cosSinFromReduced(k, high, low, cosine, sine)) {
            return TrigPath::kFast;
        }
    }
    return slowCosSin(x, absBits, true, true, cosine, sine,
                      first == TrigPath::kMultiPrecision ? first : TrigPath::kAccurate);
}

double correctlyRoundedSin(double x) {
    return single(x, 0);
}

double correctlyRoundedCos(double x) {
    return single(x, 1);
}

void correctlyRoundedCosSin(double x, double& cosine, double& sine) {
    cosSin(x, cosine, sine, TrigPath::kFast);
}

TrigPath correctlyRoundedCosSinTraced(double x, double& cosine, double& sine, TrigPath first) {
    return cosSin(x, cosine, sine, first == TrigPath::kSpecial ? TrigPath::kFast : first);
}

}  // namespace tarvo::trig
