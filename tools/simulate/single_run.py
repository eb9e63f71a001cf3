"""A single run: the experiment once, with a progress bar once it takes a few
seconds, an estimate up front when it will take minutes, and a clean end on
Ctrl-C; results.csv and results.png appear only when it succeeded.

With checkpoints (the FMI 3.0 unit only), the run keeps the unit's state and
its results so far in the output folder every so many seconds
(checkpoint.py), and a run resumed from its last checkpoint ends with the
same results.csv, byte for byte.

The unit steps on a background thread: one communication step may take days
(a long output interval), and neither the bar nor Ctrl-C can wait for it.
"""

import contextlib
import csv
import os
import statistics
import sys
import tempfile
import threading
import time
from dataclasses import dataclass

from . import journal
from .checkpoint import PARTIAL_NAME, CheckpointWriteError, Keeper, checkpoint_path
from .result_files import temporary_beside, write_results_csv
from .settings import StudyError
from .stepping import Stepper
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
# How long Ctrl-C waits for a run with checkpoints to keep the point it has
# reached: one communication step and a checkpoint, unless the step is long.
STOP_CHECKPOINT_SECONDS = 2.0


@dataclass
class CheckpointPlan:
    """The checkpoints of a run: where they go, what defines the run (the
    checkpoint's header), the checkpoint it resumes from, if any, and the
    command that resumes it."""
    folder: object
    header: dict
    resumed: object
    resume_command: str


def estimated_seconds(experiment, origin=None):
    """From origin (by default the start) to the stop time."""
    span = experiment.stop_time - (experiment.start_time if origin is None else origin)
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
    step, and a stop request that ends the run at the next one; the run
    began at model time origin (later than the start when it resumed)."""

    def __init__(self, experiment, origin):
        self.experiment = experiment
        self.origin = origin
        self.began = time.monotonic()
        self.reached = origin
        self.reached_at = self.began
        self.stop_requested = threading.Event()
        self.checkpointed = None     # model time of the last checkpoint
        self.checkpoint_seconds = []

    def __call__(self, model_time, _recorder):
        self.reached = model_time
        self.reached_at = time.monotonic()
        return not self.stop_requested.is_set()

    def checkpoint(self, model_time, seconds):
        self.checkpointed = model_time
        self.checkpoint_seconds.append(seconds)

    def seconds_left(self, now):
        """From the pace so far, or from the estimate before the first step ends."""
        experiment = self.experiment
        done = self.reached - self.origin
        if done > 0:
            pace = (self.reached_at - self.began) / done
            finish = self.reached_at + (experiment.stop_time - self.reached) * pace
        else:
            finish = self.began + estimated_seconds(experiment, self.origin)
        return max(0.0, finish - now)

    def describe(self, now):
        return (f"t = {self.reached:.6g} of {self.experiment.stop_time:.6g}, "
                f"{duration_text(now - self.began)} elapsed, "
                f"about {duration_text(self.seconds_left(now))} left"
                + (f", checkpoint at t = {self.checkpointed:.6g}"
                   if self.checkpointed is not None else ""))


def step_with_checkpoints(unpacked_dir, model_description, experiment, plan, progress):
    """The run with checkpoints, on the stepping thread: one at the start (or
    none when it resumes), then one whenever one is due, one when Ctrl-C
    stops the run and one at the end. Returns whether the run ended."""
    with contextlib.ExitStack() as stack:
        stepper = Stepper(unpacked_dir, model_description, experiment)
        stack.callback(stepper.close)
        keeper = Keeper(plan.folder, plan.header, plan.resumed)
        stack.callback(keeper.close)

        def checkpoint(finished=False):
            seconds = keeper.save(stepper.time, stepper.steps, stepper.state(), finished)
            progress.checkpoint(stepper.time, seconds)

        if plan.resumed is None:
            keeper.header_line(["time", *experiment.recorded])
            keeper.add(stepper.initialise(experiment.start_values))
            checkpoint()
        else:
            stepper.restore(plan.resumed.state, plan.resumed.time, plan.resumed.steps)
        while (row := stepper.step()) is not None:
            keeper.add(row)
            if not progress(stepper.time, None):
                checkpoint()
                return False
            if keeper.due():
                checkpoint()
        checkpoint(finished=True)
        return True


def step_in_background(work):
    """Starts work() on a daemon thread; returns an event set once it ended,
    and its outcome. (Python 3.11's Thread.join, interrupted by Ctrl-C, can
    take a thread that still runs for ended.)"""
    outcome = {}
    ended = threading.Event()

    def run():
        try:
            outcome["result"] = work()
        except BaseException as error:  # handed to the main thread
            outcome["error"] = error
        finally:
            ended.set()

    threading.Thread(target=run, name="stepping", daemon=True).start()
    return ended, outcome


def follow(ended, progress):
    """Waits for the run, drawing the bar once it has taken a few seconds."""
    from tqdm import tqdm

    experiment = progress.experiment
    span = experiment.stop_time - experiment.start_time
    bar = None
    try:
        while True:
            finished = ended.is_set()
            now = time.monotonic()
            if bar is None and now - progress.began >= PROGRESS_AFTER_SECONDS:
                bar = tqdm(total=span, file=sys.stderr,
                           bar_format="simulate: {percentage:3.0f}% |{bar:24}| {desc}")
            if bar is not None:
                bar.n = min(progress.reached - experiment.start_time, span)
                bar.set_description_str(progress.describe(now), refresh=False)
                bar.refresh()
            if finished:
                break
            ended.wait(0.25)
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


def plot_title(experiment):
    settings = ", ".join(f"{name}={value:g}" for name, value in experiment.start_values.items())
    return "Tarvo_Unit" + (f" ({settings})" if settings else "")


def write_results(output_dir, result, experiment):
    results_path = output_dir / RESULTS_NAME
    plot_path = output_dir / PLOT_NAME
    csv_temporary = temporary_beside(output_dir, ".csv")
    png_temporary = temporary_beside(output_dir, ".png")
    try:
        write_results_csv(csv_temporary, result, ["time"] + experiment.recorded)
        plot_results(png_temporary, result, experiment.inputs, experiment.outputs,
                     plot_title(experiment))
        os.replace(csv_temporary, results_path)
        os.replace(png_temporary, plot_path)
    finally:
        for temporary in (csv_temporary, png_temporary):
            temporary.unlink(missing_ok=True)
    return results_path, plot_path


def read_results_csv(path):
    """The columns of a results CSV file, by name."""
    import numpy as np

    with open(path, newline="", encoding="utf-8") as file:
        header = next(csv.reader(file))
    values = np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)
    return {name: values[:, column] for column, name in enumerate(header)}


def finish_checkpointed(output_dir, experiment, source_name=PARTIAL_NAME):
    """The results of a run with checkpoints that reached its stop time:
    results.csv is the results it kept (renamed, byte for byte), results.png
    is drawn from them, and the checkpoint goes."""
    results_path = output_dir / RESULTS_NAME
    plot_path = output_dir / PLOT_NAME
    source = output_dir / source_name
    png_temporary = temporary_beside(output_dir, ".png", prefix=journal.TEMPORARY_PREFIX)
    try:
        plot_results(png_temporary, read_results_csv(source), experiment.inputs,
                     experiment.outputs, plot_title(experiment))
        os.replace(source, results_path)
        os.replace(png_temporary, plot_path)
    finally:
        png_temporary.unlink(missing_ok=True)
    checkpoint_path(output_dir).unlink()
    journal.fsync_folder(output_dir)
    return results_path, plot_path


def stopped_text(plan, progress, settled=True):
    """Where a stopped run with checkpoints can go on from. Unless the run
    has settled, a checkpoint it was writing may still land."""
    if progress.checkpointed is None and plan.resumed is None:
        return "no checkpoint written yet" if settled else "its first checkpoint not yet written"
    reached = progress.checkpointed if progress.checkpointed is not None \
        else plan.resumed.time
    return (f"its checkpoint at t = {reached:.6g}{'' if settled else ' or later'} is in "
            f"{checkpoint_path(plan.folder)}; resume with: {plan.resume_command}")


def run_single(fmu, model_description, experiment, output_dir, inputs_text, plan=None):
    import fmpy

    resumed = plan.resumed if plan else None
    origin = resumed.time if resumed else experiment.start_time
    steps = round((experiment.stop_time - experiment.start_time) / experiment.output_interval)
    print(f"simulate: {fmu.name} from {experiment.start_time:g} to {experiment.stop_time:g}, "
          f"output interval {experiment.output_interval:g} ({steps} steps), "
          f"inputs from {inputs_text}"
          + (f"; resumed from its checkpoint at t = {origin:.6g}" if resumed else ""),
          flush=True)
    if plan:
        print(f"simulate: a checkpoint every {plan.header['every']:g} s in "
              f"{checkpoint_path(plan.folder)}; after a stop, resume with: "
              f"{plan.resume_command}", flush=True)
    estimate = estimated_seconds(experiment, origin)
    if estimate > LONG_RUN_SECONDS:
        internal = (experiment.stop_time - origin) / INTERNAL_STEP
        print(f"simulate: {internal:.3g} internal steps, estimated to take about "
              f"{duration_text(estimate)} on this machine (Ctrl-C stops the run)", flush=True)

    progress = SteppingProgress(experiment, origin)
    outcome = {"result": True}
    ended = None
    try:
        with tempfile.TemporaryDirectory(prefix="simulate-") as unpacked_dir:
            if not (resumed and resumed.finished):
                fmpy.extract(str(fmu), unpacked_dir)
                if plan:
                    ended, outcome = step_in_background(lambda: step_with_checkpoints(
                        unpacked_dir, model_description, experiment, plan, progress))
                else:
                    ended, outcome = step_in_background(lambda: simulate_unit(
                        unpacked_dir, model_description, experiment, experiment.start_values,
                        step_finished=progress))
                try:
                    follow(ended, progress)
                except KeyboardInterrupt:
                    progress.stop_requested.set()
                    if plan:  # the run keeps the point it reached, unless its step is long
                        with contextlib.suppress(KeyboardInterrupt):
                            ended.wait(STOP_CHECKPOINT_SECONDS)
                    raise
    except KeyboardInterrupt:
        progress.stop_requested.set()
        span = experiment.stop_time - experiment.start_time
        percent = 100.0 * (progress.reached - experiment.start_time) / span
        kept = stopped_text(plan, progress, ended is None or ended.is_set()) if plan \
            else "no results written, earlier results left as they were"
        print(f"simulate: interrupted at t = {progress.reached:.6g} of "
              f"{experiment.stop_time:g} ({percent:.0f} %) after "
              f"{duration_text(time.monotonic() - progress.began)}; {kept}", file=sys.stderr)
        return INTERRUPTED
    if "error" in outcome:
        error = outcome["error"]
        if isinstance(error, CheckpointWriteError):
            raise StudyError(f"{error}; {stopped_text(plan, progress)}") from None
        raise error
    elapsed = time.monotonic() - progress.began

    if plan:
        source = PARTIAL_NAME if (plan.folder / PARTIAL_NAME).exists() else RESULTS_NAME
        results_path, plot_path = finish_checkpointed(output_dir, experiment, source)
        times = progress.checkpoint_seconds
        print(f"simulate: t = {origin:.6g} to {experiment.stop_time:g} in {elapsed:.1f} s, "
              f"{len(times)} checkpoints"
              + (f" (median {statistics.median(times) * 1e3:.1f} ms, longest "
                 f"{max(times) * 1e3:.1f} ms)" if times else ""))
    else:
        result = outcome["result"]
        results_path, plot_path = write_results(output_dir, result, experiment)
        print(f"simulate: {len(result)} samples in {elapsed:.1f} s")
    print(f"results: {results_path}")
    print(f"plot:    {plot_path}")
    return 0
