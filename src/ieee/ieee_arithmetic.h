// Every floating-point operation of the unit is one IEEE 754 double
// operation, rounded on its own, in the order the source gives. A host that
// compiles these sources uses its own compiler and flags, so the sources
// say it themselves instead of relying on -ffp-contract=off:
// - no contraction of a product and a sum into a fused multiply-add (GCC
//   contracts by default wherever the target has FMA, aarch64 always and
//   x86-64 from -march=x86-64-v3 or -mfma; clang within an expression);
// - no reassociation, reciprocals, finite-only or sign-of-zero shortcuts:
//   a build that allows them stops here instead of giving other bits;
// - no x87 arithmetic, whose 64-bit significands round every double twice.
// Included first by every source file of the unit, so that the setting
// covers every function each one defines, the inline ones of the headers
// included after it too.
#ifndef TARVO_IEEE_IEEE_ARITHMETIC_H
#define TARVO_IEEE_IEEE_ARITHMETIC_H

#include <cfloat>

#if defined(__clang__)
// Clang keeps this to the end of the translation unit. Under an explicit
// -ffp-contract=fast it cannot: the backend then fuses regardless.
#pragma clang fp contract(off)
#elif defined(__GNUC__)
// GCC has no working FP_CONTRACT pragma; as an optimisation setting the
// contraction mode applies to every function defined after this point and
// overrides the command line, -ffp-contract=fast included.
#pragma GCC optimize("fp-contract=off")
#elif defined(_MSC_VER)
#pragma fp_contract(off)
#pragma float_control(precise, on)
#endif

#if defined(__FAST_MATH__) || defined(__ASSOCIATIVE_MATH__) || defined(__RECIPROCAL_MATH__) || \
    defined(__NO_SIGNED_ZEROS__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error \
    "Tarvo_Unit needs IEEE 754 arithmetic: compile it without -ffast-math, -Ofast, \
-fassociative-math, -freciprocal-math, -fno-signed-zeros and -ffinite-math-only"
#endif

#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "Tarvo_Unit needs double arithmetic in SSE2 registers on 32-bit x86: -msse2 -mfpmath=sse"
#endif
#if defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP < 2)
#error "Tarvo_Unit needs double arithmetic in SSE2 registers on 32-bit x86: /arch:SSE2"
#endif
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "Tarvo_Unit needs double expressions evaluated in double, not in a wider format"
#endif

#endif  // TARVO_IEEE_IEEE_ARITHMETIC_H
