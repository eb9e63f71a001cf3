"""A single run: the experiment once, with a progress bar once it takes a few
seconds, an estimate up front when it will take minutes, and a clean end on
Ctrl-C; results.csv and results.png appear only when it succeeded.

The unit steps on a background thread: one communication step may take days
(a long output interval), and neither the bar nor Ctrl-C can wait for it.
"""

import os
import sys
import tempfile
import threading
import time

from .result_files import temporary_beside, write_results_csv
from .unit_run import simulate_unit

RESULTS_NAME = "results.csv"
PLOT_NAME = "results.png"
# Runs longer than this show a progress bar.
PROGRESS_AFTER_SECONDS = 2.0
# Runs estimated longer than this say so before they start.
LONG_RUN_SECONDS = 180.0
# The unit's fixed internal step, and what a step costs on a machine like the
# one the figures in the README come from: the unit's internal step, and
# FMPy's work at each communication point (inputs, recording, the call).
INTERNAL_STEP = 1e-6
SECONDS_PER_INTERNAL_STEP = 2.7e-7
SECONDS_PER_COMMUNICATION_STEP = 1.3e-4
# Exit status of a run ended by Ctrl-C (128 + SIGINT), as shells report it.
INTERRUPTED = 130


def estimated_seconds(experiment):
    span = experiment.stop_time - experiment.start_time
    return (span / INTERNAL_STEP * SECONDS_PER_INTERNAL_STEP
            + span / experiment.output_interval * SECONDS_PER_COMMUNICATION_STEP)


def duration_text(seconds):
    """A duration as a person reads it: '42 s', '3 min 20 s', '5.2 h', '8.3 years'."""
    if seconds < 60:
        return f"{seconds:.0f} s"
    if seconds < 3600:
        return f"{seconds // 60:.0f} min {seconds % 60:.0f} s"
    if seconds < 86400 * 2:
        return f"{seconds / 3600:.1f} h"
    if seconds < 86400 * 365 * 2:
        return f"{seconds / 86400:.0f} days"
    return f"{seconds / (86400 * 365.25):.3g} years"


class SteppingProgress:
    """The model time reached, as FMPy reports it after each communication
    step, and a stop request that ends the run at the next one."""

    def __init__(self, experiment):
        self.experiment = experiment
        self.began = time.monotonic()
        self.reached = experiment.start_time
        self.reached_at = self.began
        self.stop_requested = threading.Event()

    def __call__(self, model_time, _recorder):
        self.reached = model_time
        self.reached_at = time.monotonic()
        return not self.stop_requested.is_set()

    def seconds_left(self, now):
        """From the pace so far, or from the estimate before the first step ends."""
        experiment = self.experiment
        done = self.reached - experiment.start_time
        if done > 0:
            pace = (self.reached_at - self.began) / done
            finish = self.reached_at + (experiment.stop_time - self.reached) * pace
        else:
            finish = self.began + estimated_seconds(experiment)
        return max(0.0, finish - now)

    def describe(self, now):
        return (f"t = {self.reached:.6g} of {self.experiment.stop_time:.6g}, "
                f"{duration_text(now - self.began)} elapsed, "
                f"about {duration_text(self.seconds_left(now))} left")


def step_in_background(unpacked_dir, model_description, experiment, progress):
    """Starts the run on a daemon thread; returns the thread and its outcome."""
    outcome = {}

    def work():
        try:
            outcome["result"] = simulate_unit(unpacked_dir, model_description, experiment,
                                              experiment.start_values, step_finished=progress)
        except BaseException as error:  # handed to the main thread
            outcome["error"] = error

    thread = threading.Thread(target=work, name="stepping", daemon=True)
    thread.start()
    return thread, outcome


def follow(thread, progress):
    """Waits for the run, drawing the bar once it has taken a few seconds."""
    from tqdm import tqdm

    experiment = progress.experiment
    span = experiment.stop_time - experiment.start_time
    bar = None
    try:
        while True:
            now = time.monotonic()
            if bar is None and now - progress.began >= PROGRESS_AFTER_SECONDS:
                bar = tqdm(total=span, file=sys.stderr,
                           bar_format="simulate: {percentage:3.0f}% |{bar:24}| {desc}")
            if bar is not None:
                bar.n = min(progress.reached - experiment.start_time, span)
                bar.set_description_str(progress.describe(now), refresh=False)
                bar.refresh()
            if not thread.is_alive():
                break
            thread.join(0.25)
    finally:
        if bar is not None:
            bar.close()


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
    for axis, (label, names) in zip(axes, panels, strict=True):
        for name in names:
            axis.plot(result["time"], result[name], label=name, linewidth=1.2)
        axis.set_ylabel(label)
        axis.grid(True, alpha=0.3)
        axis.legend(loc="upper left", fontsize="small", ncol=2)
    axes[-1].set_xlabel("time")
    axes[0].set_title(title)
    figure.savefig(path, dpi=80)
    plt.close(figure)


def write_results(output_dir, result, experiment):
    results_path = output_dir / RESULTS_NAME
    plot_path = output_dir / PLOT_NAME
    csv_temporary = temporary_beside(output_dir, ".csv")
    png_temporary = temporary_beside(output_dir, ".png")
    try:
        write_results_csv(csv_temporary, result, ["time"] + experiment.recorded)
        settings = ", ".join(f"{name}={value:g}"
                             for name, value in experiment.start_values.items())
        title = "Tarvo_Unit" + (f" ({settings})" if settings else "")
        plot_results(png_temporary, result, experiment.inputs, experiment.outputs, title)
        os.replace(csv_temporary, results_path)
        os.replace(png_temporary, plot_path)
    finally:
        for temporary in (csv_temporary, png_temporary):
            temporary.unlink(missing_ok=True)
    return results_path, plot_path


def run_single(fmu, model_description, experiment, output_dir, inputs_text):
    import fmpy

    steps = round((experiment.stop_time - experiment.start_time) / experiment.output_interval)
    print(f"simulate: {fmu.name} from {experiment.start_time:g} to {experiment.stop_time:g}, "
          f"output interval {experiment.output_interval:g} ({steps} steps), "
          f"inputs from {inputs_text}", flush=True)
    estimate = estimated_seconds(experiment)
    if estimate > LONG_RUN_SECONDS:
        internal = (experiment.stop_time - experiment.start_time) / INTERNAL_STEP
        print(f"simulate: {internal:.3g} internal steps, estimated to take about "
              f"{duration_text(estimate)} on this machine (Ctrl-C stops the run)", flush=True)

    progress = SteppingProgress(experiment)
    try:
        with tempfile.TemporaryDirectory(prefix="simulate-") as unpacked_dir:
            fmpy.extract(str(fmu), unpacked_dir)
            thread, outcome = step_in_background(unpacked_dir, model_description, experiment,
                                                 progress)
            follow(thread, progress)
    except KeyboardInterrupt:
        progress.stop_requested.set()
        span = experiment.stop_time - experiment.start_time
        percent = 100.0 * (progress.reached - experiment.start_time) / span
        print(f"simulate: interrupted at t = {progress.reached:.6g} of "
              f"{experiment.stop_time:g} ({percent:.0f} %) after "
              f"{duration_text(time.monotonic() - progress.began)}; no results written, "
              "earlier results left as they were", file=sys.stderr)
        return INTERRUPTED
    if "error" in outcome:
        raise outcome["error"]
    result = outcome["result"]
    elapsed = time.monotonic() - progress.began

    results_path, plot_path = write_results(output_dir, result, experiment)
    print(f"simulate: {len(result)} samples in {elapsed:.1f} s")
    print(f"results: {results_path}")
    print(f"plot:    {plot_path}")
    return 0
