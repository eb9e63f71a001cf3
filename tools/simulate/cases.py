"""The cases of a study, from the command line: a grid of --vary values, a
case table (--cases), or --samples random cases of --vary distributions.

Every case is a tuple of values, one per varied variable, in case order.
"""

import itertools
import random
import re
import statistics
from dataclasses import dataclass

from .settings import (
    OptionError,
    check_settable,
    numeric_rows,
    parse_number,
    read_csv_rows,
    variables_by_name,
)

DISTRIBUTION = re.compile(r"^(uniform|normal)\((.*)\)$")


@dataclass
class CaseTable:
    names: list        # the varied variables, in column order
    rows: list         # one tuple of values per case, in case order


@dataclass
class Variation:
    """One --vary: a list of values, or a distribution to draw from."""
    name: str
    values: list = None
    distribution: str = None
    parameters: tuple = None


def parse_variation(option):
    """NAME=V1,V2,..., NAME=START:STOP:COUNT, NAME=uniform(A,B), NAME=normal(MU,SIGMA)."""
    what = f"--vary '{option}'"
    name, separator, text = option.partition("=")
    name, text = name.strip(), text.strip()
    if not separator or not name or not text:
        raise OptionError(f"{what}: expected NAME=V1,V2,..., NAME=START:STOP:COUNT, "
                          "NAME=uniform(A,B) or NAME=normal(MU,SIGMA)")
    match = DISTRIBUTION.match(text)
    if match:
        kind, inside = match.groups()
        parts = inside.split(",")
        if len(parts) != 2:
            raise OptionError(f"{what}: {kind} takes two numbers, {kind}(A,B)")
        first, second = (parse_number(part.strip(), what) for part in parts)
        if kind == "uniform" and not first < second:
            raise OptionError(f"{what}: uniform(A,B) needs A < B")
        if kind == "normal" and not second > 0:
            raise OptionError(f"{what}: normal(MU,SIGMA) needs SIGMA > 0")
        return Variation(name, distribution=kind, parameters=(first, second))
    if ":" in text:
        parts = text.split(":")
        if len(parts) != 3:
            raise OptionError(f"{what}: a range is START:STOP:COUNT")
        start, stop = (parse_number(part.strip(), what) for part in parts[:2])
        count_text = parts[2].strip()
        if not count_text.isdigit() or int(count_text) < 2:
            raise OptionError(f"{what}: COUNT '{count_text}' is not a whole number of at "
                              "least 2")
        return Variation(name, values=evenly_spaced(start, stop, int(count_text)))
    return Variation(name, values=[parse_number(part.strip(), what)
                                   for part in text.split(",")])


def evenly_spaced(start, stop, count):
    """COUNT values from START to STOP, both ends exactly."""
    import numpy as np
    return [float(value) for value in np.linspace(start, stop, count)]


def draw(variation, generator):
    kind, (first, second) = variation.distribution, variation.parameters
    if kind == "uniform":
        return first + (second - first) * generator.random()
    # random() is 0 once in 2^53 draws; the inverse of the normal's
    # distribution function needs an open interval.
    u = generator.random()
    while u == 0.0:
        u = generator.random()
    return statistics.NormalDist(first, second).inv_cdf(u)


def sampled_cases(variations, samples, seed):
    """SAMPLES cases, the variables drawn in the order given, case after case.
    Python's Mersenne Twister gives the same random() sequence for a seed on
    every machine and Python version, and the draws use only it."""
    generator = random.Random(seed)
    return [tuple(draw(variation, generator) for variation in variations)
            for _ in range(samples)]


def read_case_table(path, model_description):
    rows = read_csv_rows(path, "case table")
    if not rows:
        raise OptionError(f"case table {path}: empty, expected a header of variable names")
    header_line, names = rows[0]
    variables = variables_by_name(model_description)
    for name in names:
        if not name:
            raise OptionError(f"case table {path}, line {header_line}: an empty column name")
        check_settable(name, variables, f"case table {path}, line {header_line}")
    cases = [case for _, case in numeric_rows(rows, path, "case table")]
    if not cases:
        raise OptionError(f"case table {path}: no cases after the header")
    return CaseTable(names, cases)


def build_cases(arguments, model_description, start_values):
    """The case table of a study, or None for a single run."""
    if arguments.cases is not None:
        if arguments.vary:
            raise OptionError("--cases and --vary cannot be combined: put every varied "
                              "variable into the case table")
        if arguments.samples is not None:
            raise OptionError("--samples draws --vary distributions, not --cases rows")
        table = read_case_table(arguments.cases, model_description)
    elif arguments.vary:
        table = cases_from_variations(arguments, model_description)
    else:
        if arguments.samples is not None or arguments.seed is not None:
            raise OptionError("--samples and --seed need a --vary distribution, "
                              "NAME=uniform(A,B) or NAME=normal(MU,SIGMA)")
        return None
    for name in table.names:
        if name in start_values:
            raise OptionError(f"'{name}' is both given a start value and varied")
    return table


def cases_from_variations(arguments, model_description):
    variations = [parse_variation(option) for option in arguments.vary]
    variables = variables_by_name(model_description)
    names = [variation.name for variation in variations]
    for variation in variations:
        check_settable(variation.name, variables, f"--vary '{variation.name}'")
    repeated = sorted({name for name in names if names.count(name) > 1})
    if repeated:
        raise OptionError(f"--vary: '{repeated[0]}' is varied twice")
    drawn = [variation.name for variation in variations if variation.distribution]
    listed = [variation.name for variation in variations if not variation.distribution]
    if arguments.samples is None:
        if drawn:
            raise OptionError(f"--vary '{drawn[0]}': a distribution needs --samples N")
        if arguments.seed is not None:
            raise OptionError("--seed needs --samples N and --vary distributions")
        rows = list(itertools.product(*(variation.values for variation in variations)))
        return CaseTable(names, rows)
    if listed:
        raise OptionError(f"--vary '{listed[0]}': with --samples every varied variable "
                          "needs a distribution, uniform(A,B) or normal(MU,SIGMA)")
    samples = arguments.samples.strip()
    if not samples.isdigit() or int(samples) < 1:
        raise OptionError(f"--samples: '{arguments.samples}' is not a whole number of at "
                          "least 1")
    seed = 0 if arguments.seed is None else arguments.seed.strip()
    if seed != 0 and not seed.isdigit():
        raise OptionError(f"--seed: '{arguments.seed}' is not a whole number")
    return CaseTable(names, sampled_cases(variations, int(samples), int(seed)))
