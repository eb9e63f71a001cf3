#!/usr/bin/env python3
"""Doubles closest to a multiple of pi/2, exponent by exponent.

A finite double x = M * 2^E (M a 53-bit integer) lies at
(pi/2) * ||M * alpha|| from the nearest multiple of pi/2, where
alpha = frac(2^E * 2/pi) and ||t|| is the distance of t to the nearest
integer. By the best-approximation property of continued fractions,
||M * alpha|| >= ||q * alpha|| for every 0 < M < q', where q is the largest
convergent denominator of alpha below 2^53 and q' the next one. So the
convergents give, for each exponent, a proven lower bound on how close any
double of that exponent comes to a multiple of pi/2, and their multiples
and intermediate fractions give the doubles that come closest.

The lower bound fixes how many leading zero bits the reduced fraction
x * 2/pi - k can have: the multi-precision path of the trig functions
takes that many bits of 2/pi beyond its working precision.

Run as a script it writes tests/trig/near_multiples.txt: for every
exponent, the doubles of that exponent nearest to multiples of pi/2 found
this way, plus the doubles next to k * pi/2 for small k.

    tools/trig/reduction_worst_cases.py [--output FILE]
"""

import argparse
import pathlib

import gmpy2
from gmpy2 import mpfr, mpz

PRECISION_BITS = 2400  # 2^971 * 2/pi needs ~1100 bits before the fraction starts to count
MANTISSA_MIN = mpz(1) << 52
MANTISSA_LIMIT = mpz(1) << 53
# x = M * 2^E with M in [2^52, 2^53): E = -53 covers [0.5, 1), E = 971 the largest doubles.
EXPONENT_RANGE = range(-53, 972)


def _context():
    return gmpy2.context(gmpy2.get_context(), precision=PRECISION_BITS)


def _fraction_of_scaled_two_over_pi(exponent, two_over_pi):
    scaled = gmpy2.mul_2exp(two_over_pi, exponent)
    return scaled - gmpy2.floor(scaled)


def _distance_to_integer(value):
    return abs(value - gmpy2.rint(value))


def _convergent_denominators(alpha, limit):
    """Denominators of the continued-fraction convergents of alpha (0 < alpha < 1), up to
    and including the first one at or beyond limit."""
    denominators = [mpz(1)]
    previous, current = mpz(0), mpz(1)
    rest = alpha
    while current < limit and rest != 0:
        inverse = 1 / rest
        term = mpz(gmpy2.floor(inverse))
        rest = inverse - term
        previous, current = current, term * current + previous
        denominators.append(current)
    return denominators


def exponent_worst_cases(exponent, two_over_pi, keep=3):
    """For x = M * 2^exponent, M in [2^52, 2^53): the proven lower bound of ||M * alpha||
    and up to `keep` mantissas M that come closest, as (distance, M) pairs."""
    alpha = _fraction_of_scaled_two_over_pi(exponent, two_over_pi)
    if alpha == 0:
        raise ValueError("2/pi has run out of bits")
    denominators = _convergent_denominators(alpha, MANTISSA_LIMIT)
    below = [q for q in denominators if q < MANTISSA_LIMIT]
    bound = _distance_to_integer(below[-1] * alpha)

    candidates = set()
    for index, q in enumerate(below):
        # Multiples of a convergent denominator inside the binade, and the
        # intermediate fractions q_(n-1) + c * q_n.
        first = (MANTISSA_MIN + q - 1) // q
        for t in range(int(first), int(first) + 3):
            if q * t < MANTISSA_LIMIT:
                candidates.add(q * t)
        if index > 0:
            previous = below[index - 1]
            c = max(mpz(0), (MANTISSA_MIN - previous + q - 1) // q)
            for step in range(int(c), int(c) + 3):
                m = previous + step * q
                if MANTISSA_MIN <= m < MANTISSA_LIMIT:
                    candidates.add(m)
    ranked = sorted((_distance_to_integer(m * alpha), m) for m in candidates)
    return bound, ranked[:keep]


def max_leading_zero_bits():
    """The most leading zero bits the fraction x * 2/pi - k can have for a double
    x >= 1/2, with k the nearest integer: -log2 of the smallest proven bound."""
    with _context():
        two_over_pi = 2 / gmpy2.const_pi()
        smallest = min(exponent_worst_cases(e, two_over_pi, keep=0)[0] for e in EXPONENT_RANGE)
        return int(gmpy2.floor(-gmpy2.log2(smallest))), float(gmpy2.log2(smallest))


def _double_from(m, exponent):
    return float(gmpy2.mul_2exp(mpfr(m), exponent))


def near_multiples():
    """The test arguments: per exponent the closest doubles found, and the doubles next
    to k * pi/2 for k up to 2000 and for k = 2^n, both signs left to the test."""
    values = set()
    with _context():
        two_over_pi = 2 / gmpy2.const_pi()
        half_pi = gmpy2.const_pi() / 2
        for exponent in EXPONENT_RANGE:
            _, best = exponent_worst_cases(exponent, two_over_pi)
            for _, m in best:
                x = _double_from(m, exponent)
                if x > 0.78:  # below pi/4 the nearest multiple is 0
                    values.add(x)
        multipliers = list(range(1, 2001)) + [mpz(1) << n for n in range(11, 1024)]
        for k in multipliers:
            target = k * half_pi
            if target >= mpfr("1.7976931348623157e308"):
                break
            nearest = float(target)  # rounds to nearest
            values.add(nearest)
            values.add(float(gmpy2.next_below(mpfr(nearest, 53))))
            values.add(float(gmpy2.next_above(mpfr(nearest, 53))))
    return sorted(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    root = pathlib.Path(__file__).resolve().parents[2]
    parser.add_argument("--output", type=pathlib.Path,
                        default=root / "tests" / "trig" / "near_multiples.txt")
    args = parser.parse_args()
    zeros, log2_bound = max_leading_zero_bits()
    values = near_multiples()
    lines = [
        "# Doubles nearest to multiples of pi/2: per exponent the closest ones found through",
        "# the continued fraction of 2^E * 2/pi, and the neighbours of k * pi/2 for small k",
        "# and k = 2^n. Generated by tools/trig/reduction_worst_cases.py; one hexadecimal",
        f"# double a line. Closest approach over all doubles >= 1/2: 2^{log2_bound:.2f} * pi/2.",
    ]
    lines += [v.hex() for v in values]
    args.output.parent.mkdir(parents=True, exist_ok=True)
    args.output.write_text("\n".join(lines) + "\n")
    print(f"{len(values)} arguments written to {args.output}; "
          f"at most {zeros} leading zero bits in the reduced fraction")


if __name__ == "__main__":
    main()
