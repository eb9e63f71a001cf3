"""What a run of the unit needs, read from the command line and checked.

The experiment (start, stop, output interval), the start values given as
NAME=VALUE and the input profile are the same for a single run and for every
case of a study. Anything wrong here is a bad option: reported in one line
with exit status 2 before anything runs.
"""

import csv
import math
from pathlib import Path

from .unit_run import Experiment, element_names

DEFAULT_INPUTS = Path(__file__).resolve().parent / "default_inputs.csv"


class OptionError(Exception):
    """A bad option or input file: reported in one line, exit status 2."""


class StudyError(Exception):
    """A study that cannot go on (no cluster, a lost cluster): one line, status 1."""


def parse_number(text, what):
    try:
        value = float(text)
    except ValueError:
        raise OptionError(f"{what}: '{text}' is not a number") from None
    if not math.isfinite(value):
        raise OptionError(f"{what}: '{text}' is not a finite number")
    return value


def variables_by_name(model_description):
    """{name: variable} of every value, an array's elements by their own names."""
    return {name: variable for name, (variable, _) in element_names(model_description).items()}


def article(word):
    return ("an " if word[:1] in "aeiou" else "a ") + word


def check_settable(name, variables, what):
    """Only parameters (initial values among them) and inputs take a value."""
    variable = variables.get(name)
    if variable is None:
        raise OptionError(f"{what}: the unit has no variable '{name}'")
    if variable.causality not in ("parameter", "input"):
        raise OptionError(f"{what}: '{name}' is {article(variable.causality)} value, only "
                          "parameters and inputs take a start value")


def parse_start_values(assignments, model_description):
    """NAME=VALUE pairs into {name: value}; only parameters and inputs take one."""
    variables = variables_by_name(model_description)
    start_values = {}
    for assignment in assignments:
        name, separator, text = assignment.partition("=")
        name = name.strip()
        if not separator or not name:
            raise OptionError(f"start value '{assignment}': expected NAME=VALUE")
        check_settable(name, variables, f"start value '{assignment}'")
        start_values[name] = parse_number(text.strip(), f"start value of '{name}'")
    return start_values


def read_csv_rows(path, what):
    """The rows of a CSV file with their line numbers; '#' starts a comment line."""
    path = Path(path)
    try:
        text = path.read_text(encoding="utf-8")
    except FileNotFoundError:
        raise OptionError(f"{what} {path}: no such file") from None
    except (OSError, UnicodeDecodeError) as error:
        raise OptionError(f"{what} {path}: cannot be read ({error})") from None
    try:
        return [(number, [cell.strip() for cell in row])
                for number, row in enumerate(csv.reader(text.splitlines()), start=1)
                if row and not row[0].lstrip().startswith("#")]
    except csv.Error as error:
        raise OptionError(f"{what} {path}: not a CSV file ({error})") from None


def numeric_rows(rows, path, what):
    """The rows after the header of read_csv_rows, each as (line, tuple of
    numbers), one number per column; refuses a header that names a column
    twice, a row of another length and a cell that is no number."""
    header_line, header = rows[0]
    if len(set(header)) != len(header):
        raise OptionError(f"{what} {path}, line {header_line}: a column appears twice")
    for line, row in rows[1:]:
        if len(row) != len(header):
            raise OptionError(f"{what} {path}, line {line}: {len(row)} values, "
                              f"expected {len(header)}")
        yield line, tuple(parse_number(cell, f"{what} {path}, line {line}") for cell in row)


def read_input_profile(path, model_description):
    """An input CSV (header 'time,<input>,...', '#' comments) as a structured array."""
    import numpy as np

    rows = read_csv_rows(path, "input profile")
    if not rows:
        raise OptionError(f"input profile {path}: empty, expected a header 'time,<input>,...'")
    header_line, header = rows[0]
    if header[0] != "time" or len(header) < 2:
        raise OptionError(f"input profile {path}, line {header_line}: the header must be "
                          "'time' followed by input names")
    variables = variables_by_name(model_description)
    for name in header[1:]:
        variable = variables.get(name)
        if variable is None or variable.causality != "input":
            inputs = ", ".join(v.name for v in model_description.modelVariables
                               if v.causality == "input")
            raise OptionError(f"input profile {path}, line {header_line}: '{name}' is not an "
                              f"input of the unit (inputs: {inputs})")
    samples = []
    for line, sample in numeric_rows(rows, path, "input profile"):
        samples.append(sample)
        if len(samples) > 1 and samples[-1][0] < samples[-2][0]:
            raise OptionError(f"input profile {path}, line {line}: time goes backwards")
    if not samples:
        raise OptionError(f"input profile {path}: no rows after the header")
    return np.array(samples, dtype=[(name, np.float64) for name in header])


def experiment_times(model_description, stop_text, interval_text):
    """Start, stop and output interval: the default experiment unless given."""
    experiment = model_description.defaultExperiment
    start_time = float(experiment.startTime) if experiment and experiment.startTime else 0.0
    stop_time = float(experiment.stopTime) if experiment and experiment.stopTime else 1.0
    interval = float(experiment.stepSize) if experiment and experiment.stepSize else 1e-3
    if stop_text is not None:
        stop_time = parse_number(stop_text, "--stop-time")
        if stop_time <= start_time:
            raise OptionError(f"--stop-time: {stop_text} is not after the start "
                              f"time {start_time:g}")
    if interval_text is not None:
        interval = parse_number(interval_text, "--output-interval")
        if interval <= 0.0:
            raise OptionError(f"--output-interval: {interval_text} is not positive")
    if interval > stop_time - start_time:
        raise OptionError(f"--output-interval: {interval:g} is longer than the run "
                          f"({start_time:g} to {stop_time:g})")
    return start_time, stop_time, interval


def build_experiment(model_description, arguments, start_values, held=()):
    """The experiment every run shares. Inputs given a start value, or varied
    by a study (held), are held constant: their profile columns are dropped."""
    start_time, stop_time, interval = experiment_times(
        model_description, arguments.stop_time, arguments.output_interval)
    input_profile = read_input_profile(arguments.inputs or DEFAULT_INPUTS, model_description)
    driven = [name for name in input_profile.dtype.names[1:]
              if name not in start_values and name not in held]
    if driven:
        from numpy.lib import recfunctions
        input_profile = recfunctions.repack_fields(input_profile[["time"] + driven])
    else:
        input_profile = None
    variables = variables_by_name(model_description)
    return Experiment(
        start_time=start_time, stop_time=stop_time, output_interval=interval,
        start_values=start_values, input_profile=input_profile,
        inputs=[name for name, v in variables.items() if v.causality == "input"],
        outputs=[name for name, v in variables.items() if v.causality == "output"])
