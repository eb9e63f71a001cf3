#!/usr/bin/env python3
"""Arguments whose cos or sin lies unusually close to a midpoint between two
doubles, the cases where a rounding test must fail and a slower path decide.

Three kinds, written to tests/trig/hard_cases.txt:
  - fast: found by a random search (fixed seed) over the model's range, the
    moderate range and large arguments: cos or sin within 2^-67 of a midpoint,
    relative. The fast path's bound is 2^-66.7 and its test factor
    1 + 2^-11.6, so its rounding test fails on each of them;
  - hard: constructed near 0, where sin x = x - x^3/6 + ... and
    cos x = 1 - x^2/2 + ...: for each half-integer h, the real mantissa M*
    with (x - sin x) / ulp(x) = h (or (1 - cos x) / ulp(1 - 0) = h) is solved
    for, and the integer mantissas next to it land within 2^-88 or much less
    of a midpoint, beyond what the 96-bit accurate path can decide;
  - met: arguments the random tests met that the accurate path could not
    decide (listed below, with how close they come).

    tools/trig/find_hard_cases.py [--output FILE] [--samples N]
"""

import argparse
import pathlib
import random

import gmpy2
from gmpy2 import mpfr

PRECISION = 400
# Arguments of the random tests that reached the multi-precision path:
# sin(0x1.a8049e0a27928p-21) is 2^-87.4 from a midpoint (shard 0 of the run
# of 10^9 arguments).
MET_BY_RANDOM_TESTS = ["0x1.a8049e0a27928p-21"]
FAST_LIMIT = mpfr(2) ** -67
HARD_LIMIT = mpfr(2) ** -88


def midpoint_distance(y):
    """|y - nearest midpoint between two doubles| / |y| for an mpfr y (nonzero)."""
    with gmpy2.context(gmpy2.get_context(), precision=53, round=gmpy2.RoundDown):
        down = +y
    with gmpy2.context(gmpy2.get_context(), precision=53, round=gmpy2.RoundUp):
        up = +y
    if down == up:
        return mpfr(1)  # exactly a double (only for y = 1, x = 0)
    middle = (down + up) / 2
    return abs(y - middle) / abs(y)


def closeness(x):
    """The smaller relative midpoint distance of cos(x) and sin(x), x a float."""
    xm = mpfr(x)
    return min(midpoint_distance(gmpy2.cos(xm)), midpoint_distance(gmpy2.sin(xm)))


def random_search(samples, seed=12345):
    rng = random.Random(seed)
    found = []
    regimes = (
        lambda: -rng.random(),                           # the model's angle
        lambda: rng.uniform(-400.0, 400.0),              # moderate
        lambda: rng.uniform(-1.0, 1.0) * 2.0 ** rng.randint(15, 1023),  # large
    )
    for i in range(samples):
        x = regimes[i % len(regimes)]()
        if x == 0.0 or abs(x) == float("inf"):
            continue
        if closeness(x) < FAST_LIMIT:
            found.append(x)
    return found


def _solve(function, target, x0):
    """Newton's method for function(x) = target near x0 (function increasing)."""
    x = x0
    for _ in range(60):
        value, slope = function(x)
        step = (value - target) / slope
        x -= step
        if abs(step) < abs(x) * mpfr(2) ** -(PRECISION - 20):
            break
    return x


def constructed(per_binade=12):
    """Hard cases of sin and cos near 0, for binades 2^-27 .. 2^-14."""
    found = []
    for exponent in range(-27, -14):  # x in [2^e, 2^(e+1))
        ulp_x = mpfr(2) ** (exponent - 52)
        low, high = mpfr(2) ** exponent, mpfr(2) ** (exponent + 1)

        def sin_gap(x):  # (x - sin x) / ulp(x) and its derivative
            return (x - gmpy2.sin(x)) / ulp_x, (1 - gmpy2.cos(x)) / ulp_x

        def cos_gap(x):  # (1 - cos x) / 2^-53 and its derivative
            return (1 - gmpy2.cos(x)) * mpfr(2) ** 53, gmpy2.sin(x) * mpfr(2) ** 53

        for gap, value_of in ((sin_gap, gmpy2.sin), (cos_gap, gmpy2.cos)):
            first = int(gmpy2.ceil(gap(low)[0] - mpfr(0.5)))
            last = int(gmpy2.floor(gap(high)[0] - mpfr(0.5)))
            if last < first:
                continue
            count = last - first + 1
            stride = max(1, count // per_binade)
            for n in range(first, last + 1, stride):
                target = mpfr(n) + mpfr(0.5)
                x_star = _solve(gap, target, (low + high) / 2)
                mantissa = int(gmpy2.rint(x_star / ulp_x))
                for m in (mantissa - 1, mantissa, mantissa + 1):
                    x = float(mpfr(m) * ulp_x)
                    if low <= x < high and midpoint_distance(value_of(mpfr(x))) < HARD_LIMIT:
                        found.append(x)
    return found


def main():
    root = pathlib.Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--output", type=pathlib.Path,
                        default=root / "tests" / "trig" / "hard_cases.txt")
    parser.add_argument("--samples", type=int, default=600000)
    args = parser.parse_args()
    with gmpy2.context(gmpy2.get_context(), precision=PRECISION):
        fast = sorted(set(random_search(args.samples)))
        hard = sorted(set(constructed()))
    lines = [
        "# Arguments whose cos or sin lies close to a midpoint between two doubles.",
        "# Generated by tools/trig/find_hard_cases.py; one hexadecimal double a line.",
        f"# fast: within 2^-67 (relative), from {args.samples} random arguments; the fast",
        "# path's rounding test fails on each.",
    ]
    lines += [x.hex() for x in fast]
    lines += [
        "# hard: near 0, within 2^-88 or closer; the 96-bit accurate path cannot decide them.",
    ]
    lines += [x.hex() for x in hard]
    lines += ["# met: by the random tests, decided by the multi-precision path only."]
    lines += [float.fromhex(x).hex() for x in MET_BY_RANDOM_TESTS]
    args.output.write_text("\n".join(lines) + "\n")
    print(f"{len(fast)} fast-path failures and {len(hard)} constructed hard cases "
          f"written to {args.output}")


if __name__ == "__main__":
    main()
