#!/usr/bin/env python3
"""Generates src/trig/correctly_rounded_trig_constants.h: every constant of the
correctly rounded cos and sin, computed here with MPFR (through gmpy2) at
high precision, and the fast path's error bound from which its rounding test
is derived.

    tools/trig/generate_constants.py [--output FILE] [--check]

--check compares with the existing file instead of writing it (exit 1 when
they differ). The error analysis is printed; docs/trig.md explains it.
"""

import argparse
import pathlib
import sys

import gmpy2
from gmpy2 import mpfr, mpq

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import reduction_worst_cases  # noqa: E402

WORK_PRECISION = 2600
TABLE_STEPS = 256            # table points j * pi/512, j = 0..256, cover a quarter turn
TWO_OVER_PI_WORDS = 64       # 2048 bits of 2/pi
QUARTER_PI_WORDS = 26        # 832 bits of pi/4
MODERATE_LIMIT = 2.0 ** 15   # |x| below this: reduction with three parts of pi/512
SMALL_REMAINDER = 2.0 ** -18  # moderate |x|, k != 0: smaller |r| goes to the accurate path
LARGE_FRACTION_MIN = 2.0 ** -13  # large |x|: smaller |fraction| goes to the accurate path
U = mpq(1, 2 ** 53)     # unit roundoff of double


def rn(value):
    """value rounded to the nearest double (value an mpfr of high precision)."""
    return float(value)


def to_fraction(value):
    """An mpfr (or float) as an exact fraction."""
    return mpq(*value.as_integer_ratio())


def round_to_multiple(value, quantum_exponent):
    """value rounded to the nearest multiple of 2^quantum_exponent, as an exact double."""
    scaled = gmpy2.rint(gmpy2.mul_2exp(value, -quantum_exponent))
    result = float(gmpy2.mul_2exp(mpfr(scaled), quantum_exponent))
    assert mpq(result) == mpq(int(scaled)) * mpq(2) ** quantum_exponent
    return result


def top_bits(value, bits):
    """A double rounded to `bits` significant bits (nearest), exactly."""
    if value == 0.0:
        return 0.0
    f = mpq(value)
    exponent = 0
    while abs(f) >= mpq(2) ** (exponent + 1):
        exponent += 1
    while abs(f) < mpq(2) ** exponent:
        exponent -= 1
    quantum = mpq(2) ** (exponent - bits + 1)
    result = round(f / quantum) * quantum
    assert mpq(float(result)) == result
    return float(result)


def words(value, count):
    """The first 32 * count bits after the binary point of value (0 < value < 1), big-endian."""
    integer = int(gmpy2.floor(gmpy2.mul_2exp(value, 32 * count)))
    return [(integer >> (32 * (count - 1 - i))) & 0xFFFFFFFF for i in range(count)]


# ---------------------------------------------------------------------------
# Error analysis of the fast path. A Bound holds an upper bound of |computed
# value| and of |computed - target|; operations add the rounding error of one
# double operation (relative at most U) and propagate the operand errors.
class Bound:
    def __init__(self, magnitude, error=mpq(0)):
        self.m = mpq(magnitude)
        self.e = mpq(error)

    def __mul__(self, other):
        m = self.m * other.m
        e = self.m * other.e + (other.m + other.e) * self.e + U * m
        return Bound(m * (1 + U), e)

    def __add__(self, other):
        m = self.m + other.m
        return Bound(m * (1 + U), self.e + other.e + U * m)

    def plus_error(self, extra):
        return Bound(self.m, self.e + extra)


def factorial(n):
    result = 1
    for i in range(2, n + 1):
        result *= i
    return result


def series_tail(r, first_power, step=2, terms=30):
    """Sum of r^n / n! for n = first_power, first_power + step, ..."""
    powers = range(first_power, first_power + step * terms, step)
    return sum(mpq(r) ** n / factorial(n) for n in powers)


def fast_output_error(p, q, r, rl_max, reduction_error, coefficients):
    """For one output P cos(r) + Q sin(r) of the fast path, with |rh| <= r, |rl| <= rl_max
    and the reduced argument off by at most reduction_error: bounds of |high + sum - true
    value| and of |sum|. p and q are table entries (value, top, rest_low, low, deviation)."""
    c1, c2, c3, s1, s2, s3 = coefficients
    r = mpq(r)
    lam = mpq(rl_max)
    rh = Bound(r)
    rl = Bound(lam)
    # sinTail = (u * rh) * (S1 + u * (S2 + u * S3)), target sin(rh) - rh, with u = rh * rh
    uu = rh * rh
    w = Bound(abs(s2)) + uu * Bound(abs(s3))
    w = Bound(abs(s1)) + uu * w
    ps = (uu * rh) * w
    approx_s = sum(abs(c - mpq((-1) ** i, factorial(2 * i + 1))) * r ** (2 * i + 1)
                   for i, c in ((1, s1), (2, s2), (3, s3))) + series_tail(r, 9)
    ps = ps.plus_error(approx_s)
    # cosTail = u * (C1 + u * (C2 + u * C3)), target cos(rh) - 1
    t = Bound(abs(c2)) + uu * Bound(abs(c3))
    t = Bound(abs(c1)) + uu * t
    cos_tail = (uu * t).plus_error(
        sum(abs(c - mpq((-1) ** i, factorial(2 * i))) * r ** (2 * i)
            for i, c in ((1, c1), (2, c2), (3, c3))) + series_tail(r, 8))
    # lowSin = (rl * rh) * (1 + u * S1), target rl * sin(rh)
    low_sin = (rl * rh) * (Bound(1) + uu * Bound(abs(s1)))
    low_sin = low_sin.plus_error(
        lam * (abs(s1 + mpq(1, 6)) * r ** 3 + series_tail(r, 5)))
    # pc = cosTail - lowSin, target cos(rh + rl) - 1
    pc = (cos_tail + low_sin).plus_error(lam ** 2 / 2 + r * lam ** 3 / 6)
    # qq = sinTail + (rl + cosTail * rl), target sin(rh + rl) - rh
    qq = (ps + (rl + cos_tail * rl)).plus_error(r * lam ** 2 / 2 + lam ** 3 / 6)

    pv, ptop, prest_low, plow, pdev = p
    qv, qtop, qrest_low, qlow, qdev = q
    r2 = r / 2 ** 26                       # low half of rh after splitting
    a2 = Bound(abs(qtop) * r2 * (1 + U), mpq(0))  # exact product
    # rest_low = RN(rest + low): its rounding adds U |rest_low| r.
    a3 = (Bound(abs(qrest_low)) * rh).plus_error(U * abs(qrest_low) * r)
    b = Bound(abs(qv)) * qq
    c = Bound(abs(pv)) * pc
    high = abs(pv) + abs(qv) * r * (1 + mpq(1, 2 ** 25))
    l0 = Bound(U * high)                   # exact low part of the first sum
    # sum = (((a2 + a3) + p.low) + l0) + c) + b
    total = ((((a2 + a3) + Bound(abs(plow))) + l0) + c) + b
    rt = r + lam
    dropped = (abs(plow) * rt ** 2 / 2 + abs(qlow) * (lam + rt ** 3 / 6)
               + pdev + qdev * rt
               + mpq(reduction_error) * (abs(pv) * rt + abs(qv) + abs(plow) + abs(qlow)))
    return total.e + dropped, total.m


def test_factor_needed(error, sum_max, smallest):
    """The factor F such that E = F |high| covers the error of high + sum and the rounding
    of sum +- E (see the fast path's rounding test), |high + sum| >= smallest - error."""
    high_min = smallest - sum_max - error
    assert high_min > 0
    return (error + U * (sum_max + 2 * error)) / high_min / (1 - U)


def table_entries(pi):
    entries = []
    for j in range(TABLE_STEPS + 1):
        exact_value = gmpy2.sin(pi * j / (2 * TABLE_STEPS))
        value = rn(exact_value)
        low = rn(exact_value - value)
        top = top_bits(value, 26)
        rest = value - top
        assert mpq(top) + mpq(rest) == mpq(value)
        assert abs(mpq(rest)) <= mpq(value) / 2 ** 26
        rest_low = rest + low  # rounded: the product with r needs no more
        deviation = abs(to_fraction(exact_value - value - low))  # exact_value has ample precision
        entries.append((value, top, rest_low, low, deviation))
    return entries


def analyse_fast_path(pi, entries, coefficients, cw):
    """The factor of the fast path's rounding test: the largest needed over every table
    entry and reduction, and where it is needed."""
    rho = mpq(rn(pi / 1024)) * (1 + mpq(1, 2 ** 28))
    cw_rl, cw_error = cw["rl_max"], cw["reduction_error"]
    large_error = mpq(1, 2 ** 100)   # relative, see the large-argument reduction
    worst = mpq(0)
    worst_case = None
    for i in range(1, TABLE_STEPS + 1):
        p = tuple(map(mpq, entries[i][:4])) + (entries[i][4],)
        q = tuple(map(mpq, entries[TABLE_STEPS - i][:4])) + (entries[TABLE_STEPS - i][4],)
        angle = pi * i / (2 * TABLE_STEPS)
        rho_m = mpfr(rho.numerator) / rho.denominator
        smallest = to_fraction(min(gmpy2.sin(angle - rho_m), gmpy2.sin(angle + rho_m)))
        for rl_max, error in ((cw_rl, cw_error), (rho / 2 ** 53, large_error * rho)):
            bound, sum_max = fast_output_error(p, q, rho, rl_max, error, coefficients)
            factor = test_factor_needed(bound, sum_max, smallest)
            if factor > worst:
                worst, worst_case = factor, f"table point {i}"
    # Table point 0: the output is sin(r) itself.
    p = (mpq(0),) * 5
    q = tuple(map(mpq, entries[TABLE_STEPS][:4])) + (entries[TABLE_STEPS][4],)
    regimes = (
        ("k = 0", mpq(1, 2 ** 27), lambda r: 0, lambda r: 0),
        ("moderate k != 0", mpq(SMALL_REMAINDER), lambda r: cw_rl, lambda r: cw_error),
        ("large", mpq(LARGE_FRACTION_MIN) * mpq(rn(pi / 512)),
         lambda r: r / 2 ** 53, lambda r: large_error * r),
    )
    for name, r_min, rl_of, error_of in regimes:
        r = r_min
        while r <= rho:
            lam = rl_of(r)
            smallest = (r - lam - error_of(r)) * (1 - r * r / 6)
            bound, sum_max = fast_output_error(p, q, r, lam, error_of(r), coefficients)
            factor = test_factor_needed(bound, sum_max, smallest)
            if factor > worst:
                magnitude = float(gmpy2.log2(mpfr(r)))
                worst, worst_case = factor, f"sin(r), {name}, |r| = 2^{magnitude:.1f}"
            r *= mpq(17, 16)
    return worst, worst_case


def round_up_double(value):
    """The smallest double >= value (0 < value < 1)."""
    d = float(value)
    if mpq(d) < value:
        d = float(gmpy2.next_above(mpfr(d, 53)))
    assert mpq(d) >= value
    return d


def hexd(value):
    text = float(value).hex()
    return text if not text.startswith("-") else text


def generate():
    with gmpy2.context(gmpy2.get_context(), precision=WORK_PRECISION):
        pi = gmpy2.const_pi()
        step = pi / 512
        inverse = rn(512 / pi)
        p1 = round_to_multiple(step, -37)
        p2 = round_to_multiple(step - p1, -61)
        p3 = rn(step - p1 - p2)
        assert abs(mpq(p2)) < mpq(1, 2 ** 38)
        max_k = int(MODERATE_LIMIT * inverse) + 1
        assert max_k < 2 ** 23
        tail = abs(to_fraction(step - p1 - p2 - p3))
        cw = {
            "rl_max": mpq(max_k) * abs(mpq(p3)) * (1 + U),
            "reduction_error": mpq(max_k) * (tail + U * abs(mpq(p3))),
        }
        step_high = rn(step)
        step_low = rn(step - step_high)
        step_top = top_bits(step_high, 26)
        coefficients = (-0.5, rn(mpfr(1) / 24), rn(mpfr(-1) / 720),
                        rn(mpfr(-1) / 6), rn(mpfr(1) / 120), rn(mpfr(-1) / 5040))
        entries = table_entries(pi)
        needed, worst_case = analyse_fast_path(pi, entries, tuple(map(mpq, coefficients)), cw)
        factor = round_up_double(needed)
        two_over_pi = words(2 / pi, TWO_OVER_PI_WORDS)
        quarter_pi = words(pi / 4, QUARTER_PI_WORDS)
        # The same bits at a higher precision: the truncation is not at a rounding edge.
        with gmpy2.context(gmpy2.get_context(), precision=WORK_PRECISION + 200):
            pi2 = gmpy2.const_pi()
            assert words(2 / pi2, TWO_OVER_PI_WORDS) == two_over_pi
            assert words(pi2 / 4, QUARTER_PI_WORDS) == quarter_pi
    zeros, log2_closest = reduction_worst_cases.max_leading_zero_bits()

    report = {
        "worst_case": worst_case, "factor": mpq(factor),
        "cw_rl": cw["rl_max"], "cw_error": cw["reduction_error"], "zeros": zeros,
        "closest": log2_closest,
    }

    def log2(value):
        return float(gmpy2.log2(mpfr(value.numerator) / value.denominator))

    out = []
    w = out.append
    w("// Generated by tools/trig/generate_constants.py: do not edit by hand.")
    w("// Constants of the correctly rounded cos and sin, computed with MPFR at")
    w(f"// {WORK_PRECISION} bits: the table of sin(j * pi/512), the parts of pi/512, the")
    w("// polynomial coefficients, the bits of 2/pi and pi/4, and the factor of the")
    w("// fast path's rounding test derived from its error bound (docs/trig.md).")
    w("#ifndef TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_CONSTANTS_H")
    w("#define TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_CONSTANTS_H")
    w("")
    w("#include <cstdint>")
    w("")
    w("namespace tarvo::trig::constants {")
    w("")
    w("// sin(j * pi/512) for j = 0 .. 256: value (nearest double); low, the nearest double")
    w("// to sin - value; top, the 26 leading bits of value (top times a 26-bit number is")
    w("// exact); restLow, the nearest double to value - top + low.")
    w("struct SineEntry {")
    w("    double value;")
    w("    double top;")
    w("    double restLow;")
    w("    double low;")
    w("};")
    w("")
    w(f"constexpr int kTableSteps = {TABLE_STEPS};")
    w(f"constexpr SineEntry kSineTable[{TABLE_STEPS + 1}] = {{")
    for value, top, rest, low, _ in entries:
        w(f"    {{{hexd(value)}, {hexd(top)}, {hexd(rest)}, {hexd(low)}}},")
    w("};")
    w("")
    w("// Reduction of moderate arguments, |x| < 2^15: k = nearest integer to x * 512/pi,")
    w("// r = x - k * kStep1 - k * kStep2 - k * kStep3. kStep1 is a multiple of 2^-37 with")
    w("// 30 bits and kStep2 a multiple of 2^-61 with at most 23 bits, so for |k| < 2^23")
    w("// both products and both differences are exact; k * kStep3 is rounded.")
    w(f"constexpr double kModerateLimit = {hexd(MODERATE_LIMIT)};")
    w(f"constexpr double kInverseStep = {hexd(inverse)};  // 512/pi")
    w(f"constexpr double kStep1 = {hexd(p1)};")
    w(f"constexpr double kStep2 = {hexd(p2)};")
    w(f"constexpr double kStep3 = {hexd(p3)};")
    w(f"// |k * kStep3| <= 2^{log2(cw['rl_max']):.2f}; the reduced argument is off by at most")
    w(f"// 2^{log2(cw['reduction_error']):.2f}. With k != 0 a remainder below "
      "kSmallRemainder goes to")
    w("// the accurate path, where that absolute error would weigh too much.")
    w(f"constexpr double kSmallRemainder = {hexd(SMALL_REMAINDER)};")
    w("")
    w("// pi/512 as a double-double, its high part split into 26 + 27 bits, for the")
    w("// reduction of large arguments (fraction of x * 512/pi times pi/512).")
    w(f"constexpr double kStepHigh = {hexd(step_high)};")
    w(f"constexpr double kStepHighTop = {hexd(step_top)};")
    w(f"constexpr double kStepHighRest = {hexd(step_high - step_top)};")
    w(f"constexpr double kStepLow = {hexd(step_low)};")
    w("// A large argument whose fraction is below this goes to the accurate path.")
    w(f"constexpr double kLargeFractionMin = {hexd(LARGE_FRACTION_MIN)};")
    w("")
    w("// cos(r) - 1 = r^2 (kCos1 + r^2 (kCos2 + r^2 kCos3)) and")
    w("// sin(r) - r = r^3 (kSin1 + r^2 (kSin2 + r^2 kSin3)), Taylor coefficients rounded to")
    w("// double; for |r| <= pi/1024 the truncated terms are below 2^-82 and 2^-93 |r|.")
    names = ("kCos1", "kCos2", "kCos3", "kSin1", "kSin2", "kSin3")
    for name, value in zip(names, coefficients, strict=True):
        w(f"constexpr double {name} = {hexd(value)};")
    w("")
    w("// The fast path's result high + sum is within kFastErrorFactor |high| of the exact")
    w(f"// value, 2^{log2(mpq(factor)):.3f} |high| (largest at {worst_case}), with room for")
    w("// the rounding of sum +- that bound. When high + (sum + bound) and")
    w("// high + (sum - bound) round to the same double, so does the exact value.")
    w(f"constexpr double kFastErrorFactor = {hexd(factor)};")
    w("")
    w(f"// 2/pi = sum of kTwoOverPi[i] * 2^(-32 (i + 1)), {32 * TWO_OVER_PI_WORDS} bits.")
    w(f"constexpr int kTwoOverPiWords = {TWO_OVER_PI_WORDS};")
    w(f"constexpr uint32_t kTwoOverPi[{TWO_OVER_PI_WORDS}] = {{")
    for i in range(0, TWO_OVER_PI_WORDS, 6):
        w("    " + " ".join(f"0x{v:08X}," for v in two_over_pi[i:i + 6]))
    w("};")
    w("")
    w(f"// pi/4 = sum of kQuarterPi[i] * 2^(-32 (i + 1)), {32 * QUARTER_PI_WORDS} bits.")
    w(f"constexpr int kQuarterPiWords = {QUARTER_PI_WORDS};")
    w(f"constexpr uint32_t kQuarterPi[{QUARTER_PI_WORDS}] = {{")
    for i in range(0, QUARTER_PI_WORDS, 6):
        w("    " + " ".join(f"0x{v:08X}," for v in quarter_pi[i:i + 6]))
    w("};")
    w("")
    w("// No double x >= 1/2 comes closer to a multiple of pi/2 than")
    w(f"// 2^{log2_closest:.2f} * pi/2 (continued fractions of 2^E * 2/pi, exponent by exponent):")
    w("// the reduced fraction x * 2/pi - k has at most this many leading zero bits.")
    w(f"constexpr int kReducedFractionMaxLeadingZeros = {zeros};")
    w("")
    w("}  // namespace tarvo::trig::constants")
    w("")
    w("#endif  // TARVO_TRIG_CORRECTLY_ROUNDED_TRIG_CONSTANTS_H")
    return "\n".join(out) + "\n", report


def main():
    root = pathlib.Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--output", type=pathlib.Path,
                        default=root / "src" / "trig" / "correctly_rounded_trig_constants.h")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    text, report = generate()

    def log2(value):
        return float(gmpy2.log2(mpfr(value.numerator) / value.denominator))

    print(f"fast path error <= 2^{log2(report['factor']):.3f} |high| ({report['worst_case']})")
    print(f"moderate reduction: |rl| <= 2^{log2(report['cw_rl']):.2f}, "
          f"error <= 2^{log2(report['cw_error']):.2f}")
    print(f"reduced fraction: at most {report['zeros']} leading zero bits "
          f"(closest approach 2^{report['closest']:.2f})")
    if args.check:
        if args.output.read_text() != text:
            print(f"{args.output} differs from the generated constants", file=sys.stderr)
            return 1
        print(f"{args.output} is up to date")
        return 0
    args.output.write_text(text)
    print(f"written {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
