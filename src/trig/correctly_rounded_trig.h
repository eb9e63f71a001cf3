// cos and sin correctly rounded to nearest for every double argument.
//
// The results depend on no C library: they are built from IEEE-754 double
// additions and multiplications, each rounded on its own, and from 32-bit
// integer arithmetic, so every platform and compiler that keeps double
// arithmetic as written gives the same bits. See docs/trig.md.
#ifndef TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_H
#define TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_H

namespace tarvo::trig {

// cos(x) and sin(x) rounded to the nearest double. cos(+-0) = 1, sin(+-0) =
// +-0; +-infinity gives NaN; a NaN argument comes back as a quiet NaN.
double correctlyRoundedCos(double x);
double correctlyRoundedSin(double x);
// Both at once, sharing the argument reduction; the same bits as the two above.
void correctlyRoundedCosSin(double x, double& cosine, double& sine);

// The path that decided a result, slowest last: special arguments (zero,
// tiny, infinite, NaN), the double-double fast path, the accurate path
// (96-bit fixed point) and the multi-precision path (192 bits and more).
enum class TrigPath {
    kSpecial,
    kFast,
    kAccurate,
    kMultiPrecision
};

// For tests: correctlyRoundedCosSin, also telling the slowest path used;
// `first` skips the faster paths (kAccurate or kMultiPrecision start there;
// special arguments are always answered directly).
TrigPath correctlyRoundedCosSinTraced(double x, double& cosine, double& sine,
                                      TrigPath first = TrigPath::kFast);

}  // namespace tarvo::trig

#endif  // TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_H
