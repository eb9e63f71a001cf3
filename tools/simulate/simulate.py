"""The main job: simulate Tarvo_Unit.fmu under FMPy and write the results.

Runs the unit's default experiment (or the stop time and output interval
given) with an input profile for channelA.input and channelB.input, writes
every input and output at each communication point to a CSV file and plots
them into a PNG. Start values are given by variable name as NAME=VALUE.
Result files appear only once the run has succeeded: both are written to
temporary files first and then renamed.
"""

import argparse
import csv
import math
import os
import sys
import tempfile
import time
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
DEFAULT_FMU = REPOSITORY / "build" / "Tarvo_Unit.fmu"
DEFAULT_INPUTS = Path(__file__).resolve().parent / "default_inputs.csv"
DEFAULT_OUTPUT_DIR = REPOSITORY / "out"
RESULTS_NAME = "results.csv"
PLOT_NAME = "results.png"
# Runs longer than this report their progress.
PROGRESS_AFTER_SECONDS = 2.0


class OptionError(Exception):
    """A bad option or input file: reported in one line, exit status 2."""


def parse_number(text, what):
    try:
        value = float(text)
    except ValueError:
        raise OptionError(f"{what}: '{text}' is not a number") from None
    if not math.isfinite(value):
        raise OptionError(f"{what}: '{text}' is not a finite number")
    return value


def variables_by_name(model_description):
    return {variable.name: variable for variable in model_description.modelVariables}


def parse_start_values(assignments, model_description):
    """NAME=VALUE pairs into {name: value}; only parameters and inputs take one."""
    variables = variables_by_name(model_description)
    start_values = {}
    for assignment in assignments:
        name, separator, text = assignment.partition("=")
        name = name.strip()
        if not separator or not name:
            raise OptionError(f"start value '{assignment}': expected NAME=VALUE")
        variable = variables.get(name)
        if variable is None:
            raise OptionError(f"start value '{assignment}': the unit has no variable '{name}'")
        if variable.causality not in ("parameter", "input"):
            raise OptionError(f"start value '{assignment}': '{name}' is a {variable.causality} "
                              "value, only parameters and inputs take a start value")
        start_values[name] = parse_number(text.strip(), f"start value of '{name}'")
    return start_values


def read_input_profile(path, model_description):
    """An input CSV (header 'time,<input>,...', '#' comments) as a structured array."""
    import numpy as np

    path = Path(path)
    try:
        text = path.read_text(encoding="utf-8")
    except FileNotFoundError:
        raise OptionError(f"input profile {path}: no such file") from None
    except (OSError, UnicodeDecodeError) as error:
        raise OptionError(f"input profile {path}: cannot be read ({error})") from None

    rows = [(number, row) for number, row in enumerate(csv.reader(text.splitlines()), start=1)
            if row and not row[0].lstrip().startswith("#")]
    if not rows:
        raise OptionError(f"input profile {path}: empty, expected a header 'time,<input>,...'")
    header_line, header = rows[0]
    header = [column.strip() for column in header]
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
    if len(set(header)) != len(header):
        raise OptionError(f"input profile {path}, line {header_line}: a column appears twice")

    samples = []
    for line, row in rows[1:]:
        if len(row) != len(header):
            raise OptionError(f"input profile {path}, line {line}: {len(row)} values, "
                              f"expected {len(header)}")
        samples.append(tuple(parse_number(cell.strip(), f"input profile {path}, line {line}")
                             for cell in row))
        if len(samples) > 1 and samples[-1][0] < samples[-2][0]:
            raise OptionError(f"input profile {path}, line {line}: time goes backwards")
    if not samples:
        raise OptionError(f"input profile {path}: no rows after the header")
    return np.array(samples, dtype=[(name, np.float64) for name in header])


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="simulate",
        description="Simulate Tarvo_Unit.fmu under FMPy and write the inputs and outputs at "
                    "every communication point as CSV and as a PNG plot.")
    parser.add_argument("start_values", nargs="*", metavar="NAME=VALUE",
                        help="start value of a parameter or input, by variable name "
                             "(e.g. level.capacity=500); an input given here is held at "
                             "that value, its column of the input profile is ignored")
    parser.add_argument("--stop-time", metavar="T",
                        help="end of the run (default: the unit's default experiment)")
    parser.add_argument("--output-interval", metavar="DT",
                        help="communication step and sampling interval (default: the step "
                             "size of the default experiment)")
    parser.add_argument("--inputs", metavar="CSV", default=str(DEFAULT_INPUTS),
                        help="input profile: a column 'time' and one per input, linearly "
                             "interpolated (default: %(default)s)")
    parser.add_argument("--output-dir", metavar="DIR", default=str(DEFAULT_OUTPUT_DIR),
                        help="folder for results.csv and results.png (default: %(default)s)")
    parser.add_argument("--fmu", metavar="FILE", default=str(DEFAULT_FMU),
                        help="the archive to simulate (default: %(default)s)")
    return parser.parse_args(argv)


class Progress:
    """Reports the model time reached, once the run has taken a few seconds."""

    def __init__(self, start_time, stop_time, stream=None):
        self.start_time = start_time
        self.stop_time = stop_time
        self.stream = stream if stream is not None else sys.stderr
        self.began = time.monotonic()
        self.last_report = None
        self.reported = False

    def __call__(self, model_time, recorder):
        now = time.monotonic()
        if now - self.began >= PROGRESS_AFTER_SECONDS and (
                self.last_report is None or now - self.last_report >= 1.0):
            span = self.stop_time - self.start_time
            percent = 100.0 * (model_time - self.start_time) / span if span > 0 else 100.0
            self.stream.write(f"simulate: t = {model_time:.6g} of {self.stop_time:.6g} "
                              f"({percent:.0f} %)\n")
            self.stream.flush()
            self.last_report = now
            self.reported = True
        return True


def write_results_csv(path, result, columns):
    with open(path, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file)
        writer.writerow(columns)
        for row in result:
            # repr gives the shortest text that reads back as the same double.
            writer.writerow([repr(float(row[column])) for column in columns])


def plot_results(path, result, inputs, outputs, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    # Distinct outputs only: channelX.out[2..6] repeat out[0] and out[1].
    panels = [
        ("inputs", inputs),
        ("channel vectors", [n for n in ("channelA.out[0]", "channelA.out[1]",
                                         "channelB.out[0]", "channelB.out[1]") if n in outputs]),
        ("quantised values", [n for n in ("channelA.quantised", "channelB.quantised")
                              if n in outputs]),
        ("quantised states", [n for n in ("channelA.quantisedState", "channelB.quantisedState")
                              if n in outputs]),
        ("pose", [n for n in ("pose.angle", "pose.vector[0]", "pose.vector[1]") if n in outputs]),
        ("level", [n for n in ("level.used",) if n in outputs]),
    ]
    panels = [(label, names) for label, names in panels if names]
    figure, axes = plt.subplots(len(panels), 1, sharex=True, figsize=(9, 2.0 * len(panels)),
                                layout="constrained")
    for axis, (label, names) in zip(axes, panels):
        for name in names:
            axis.plot(result["time"], result[name], label=name, linewidth=1.2)
        axis.set_ylabel(label)
        axis.grid(True, alpha=0.3)
        axis.legend(loc="upper left", fontsize="small", ncol=2)
    axes[-1].set_xlabel("time")
    axes[0].set_title(title)
    figure.savefig(path, dpi=80)
    plt.close(figure)


def temporary_beside(directory, suffix):
    """An empty file in the result folder, with the permissions of a new file."""
    handle, name = tempfile.mkstemp(prefix=".simulate-", suffix=suffix, dir=directory)
    os.close(handle)
    umask = os.umask(0)
    os.umask(umask)
    os.chmod(name, 0o666 & ~umask)
    return Path(name)


def run(argv=None):
    arguments = parse_arguments(argv)
    import fmpy

    fmu = Path(arguments.fmu)
    if not fmu.is_file():
        raise OptionError(f"no FMU at {fmu} (build it with: cmake --build build --target fmu)")
    model_description = fmpy.read_model_description(str(fmu))
    experiment = model_description.defaultExperiment
    start_time = float(experiment.startTime) if experiment and experiment.startTime else 0.0
    stop_time = float(experiment.stopTime) if experiment and experiment.stopTime else 1.0
    interval = float(experiment.stepSize) if experiment and experiment.stepSize else 1e-3
    if arguments.stop_time is not None:
        stop_time = parse_number(arguments.stop_time, "--stop-time")
        if stop_time <= start_time:
            raise OptionError(f"--stop-time: {arguments.stop_time} is not after the start "
                              f"time {start_time:g}")
    if arguments.output_interval is not None:
        interval = parse_number(arguments.output_interval, "--output-interval")
        if interval <= 0.0:
            raise OptionError(f"--output-interval: {arguments.output_interval} is not positive")
    if interval > stop_time - start_time:
        raise OptionError(f"--output-interval: {interval:g} is longer than the run "
                          f"({start_time:g} to {stop_time:g})")

    start_values = parse_start_values(arguments.start_values, model_description)
    input_profile = read_input_profile(arguments.inputs, model_description)
    driven = [name for name in input_profile.dtype.names[1:] if name not in start_values]
    if driven:
        from numpy.lib import recfunctions
        input_profile = recfunctions.repack_fields(input_profile[["time"] + driven])
    else:
        input_profile = None

    output_dir = Path(arguments.output_dir)
    try:
        output_dir.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        raise OptionError(f"--output-dir: cannot create {output_dir} ({error})") from None

    inputs = [v.name for v in model_description.modelVariables if v.causality == "input"]
    outputs = [v.name for v in model_description.modelVariables if v.causality == "output"]
    steps = round((stop_time - start_time) / interval)
    print(f"simulate: {fmu.name} from {start_time:g} to {stop_time:g}, output interval "
          f"{interval:g} ({steps} steps), inputs from {arguments.inputs}")
    progress = Progress(start_time, stop_time)
    began = time.monotonic()
    result = fmpy.simulate_fmu(str(fmu), start_time=start_time, stop_time=stop_time,
                               output_interval=interval, start_values=start_values,
                               input=input_profile, output=inputs + outputs,
                               step_finished=progress)
    elapsed = time.monotonic() - began

    results_path = output_dir / RESULTS_NAME
    plot_path = output_dir / PLOT_NAME
    csv_temporary = temporary_beside(output_dir, ".csv")
    png_temporary = temporary_beside(output_dir, ".png")
    try:
        write_results_csv(csv_temporary, result, ["time"] + inputs + outputs)
        settings = ", ".join(f"{name}={value:g}" for name, value in start_values.items())
        title = "Tarvo_Unit" + (f" ({settings})" if settings else "")
        plot_results(png_temporary, result, inputs, outputs, title)
        os.replace(csv_temporary, results_path)
        os.replace(png_temporary, plot_path)
    finally:
        for temporary in (csv_temporary, png_temporary):
            temporary.unlink(missing_ok=True)

    print(f"simulate: {len(result)} samples in {elapsed:.1f} s")
    print(f"results: {results_path}")
    print(f"plot:    {plot_path}")
    return 0


def main(argv=None):
    try:
        return run(argv)
    except OptionError as error:
        print(f"simulate: error: {error}", file=sys.stderr)
        return 2
    except Exception as error:  # the host reports a failed FMI call as an exception
        print(f"simulate: the simulation failed: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
