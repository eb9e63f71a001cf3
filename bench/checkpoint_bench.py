"""What checkpoints cost a single run of the FMI 3.0 unit (./simulate
--checkpoint-every): the same experiment stepped in this process without
checkpoints (FMPy's simulate_fmu, as ./simulate runs it) and with a
checkpoint every so many seconds, in alternating rounds; the time each
checkpoint took, what it holds on the disk, and what replacing
run.checkpoint alone takes on this disk.

    .venv/bin/python bench/checkpoint_bench.py    # --stop-time T, --rounds N, --every S ...

The times are the stepping and the writing of results.csv: no start of the
process, no unpacking of the archive, no plot.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time
from pathlib import Path

import fmpy

from simulate import checkpoint, cli, journal, single_run, unit_run
from simulate.result_files import write_results_csv

REPOSITORY = Path(__file__).resolve().parents[1]
BUILD = Path(os.environ.get("TARVO_BUILD_DIR", REPOSITORY / "build"))


def experiment_for(fmu, stop_time):
    arguments = cli.parse_arguments(["--stop-time", str(stop_time)])
    model_description, _, experiment = cli.study_from_options(arguments, fmu)
    return model_description, experiment


def plain_run(unpacked, model_description, experiment, folder):
    """The seconds of the run and of writing its results.csv, which a run
    with checkpoints writes as it goes."""
    began = time.perf_counter()
    result = unit_run.simulate_unit(unpacked, model_description, experiment,
                                    experiment.start_values)
    write_results_csv(folder / "results.csv", result, ["time", *experiment.recorded])
    return time.perf_counter() - began


def checkpointed_run(unpacked, model_description, experiment, fmu, every, folder):
    """The seconds of the run, of each checkpoint, and the bytes of
    run.checkpoint and of the results at the end."""
    definition = journal.experiment_definition(journal.file_sha256(fmu), experiment)
    header = checkpoint.header_for(definition, fmu, every, "the default inputs")
    plan = single_run.CheckpointPlan(folder, header, None, "")
    progress = single_run.SteppingProgress(experiment, experiment.start_time)
    began = time.perf_counter()
    assert single_run.step_with_checkpoints(unpacked, model_description, experiment, plan,
                                            progress)
    elapsed = time.perf_counter() - began
    return (elapsed, progress.checkpoint_seconds,
            checkpoint.checkpoint_path(folder).stat().st_size,
            (folder / checkpoint.PARTIAL_NAME).stat().st_size)


def replace_times(folder, data, count):
    times = []
    for _ in range(count):
        began = time.perf_counter()
        journal.replace_synced(folder / checkpoint.CHECKPOINT_NAME, data)
        times.append(time.perf_counter() - began)
    return times


def milliseconds(values):
    ordered = sorted(values)
    return (f"median {statistics.median(ordered) * 1e3:.1f} ms, "
            f"90 % {ordered[int(0.9 * (len(ordered) - 1))] * 1e3:.1f} ms, "
            f"longest {ordered[-1] * 1e3:.1f} ms ({len(ordered)})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--stop-time", type=float, default=10.0)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--every", type=float, nargs="+", default=[1.0, 0.1])
    parser.add_argument("--folder", help="where the checkpoints go (default: a temporary "
                                         "folder beside the build)")
    options = parser.parse_args()

    fmu2, fmu3 = BUILD / "Tarvo_Unit.fmu", BUILD / "Tarvo_Unit-fmi3.fmu"
    description2, experiment2 = experiment_for(fmu2, options.stop_time)
    description3, experiment3 = experiment_for(fmu3, options.stop_time)
    variants = ["FMI 2.0, no checkpoints", "FMI 3.0, no checkpoints",
                "FMI 3.0, at start and end only"] + \
        [f"FMI 3.0, every {every:g} s" for every in options.every]
    elapsed = {variant: [] for variant in variants}
    checkpoint_times = {variant: [] for variant in variants}
    sizes = {}
    with tempfile.TemporaryDirectory(prefix="checkpoint-bench-",
                                     dir=options.folder or BUILD) as work:
        work = Path(work)
        unpacked2, unpacked3 = work / "fmi2", work / "fmi3"
        fmpy.extract(str(fmu2), str(unpacked2))
        fmpy.extract(str(fmu3), str(unpacked3))
        every_of = dict(zip(variants[2:], [1e9, *options.every], strict=True))
        for round_number in range(options.rounds):
            # Each round in another order: no variant always runs first or last.
            shift = round_number % len(variants)
            for variant in variants[shift:] + variants[:shift]:
                if variant == variants[0]:
                    seconds = plain_run(unpacked2, description2, experiment2, work)
                elif variant == variants[1]:
                    seconds = plain_run(unpacked3, description3, experiment3, work)
                else:
                    folder = work / f"run-{round_number}-{every_of[variant]:g}"
                    folder.mkdir()
                    seconds, times, checkpoint_bytes, results_bytes = checkpointed_run(
                        unpacked3, description3, experiment3, fmu3, every_of[variant], folder)
                    checkpoint_times[variant] += times
                    sizes[variant] = checkpoint_bytes, results_bytes
                elapsed[variant].append(seconds)
            print(f"round {round_number + 1}: "
                  + ", ".join(f"{elapsed[variant][-1]:.2f} s" for variant in variants),
                  file=sys.stderr)
        data = checkpoint.checkpoint_path(folder).read_bytes()
        replaced = replace_times(work, data, 50)

    base = statistics.median(elapsed[variants[1]])
    print(f"{options.stop_time:g} model seconds, {options.rounds} rounds, "
          f"load average {os.getloadavg()[0]:.1f}")
    for variant in variants:
        median = statistics.median(elapsed[variant])
        print(f"{variant}: median {median:.3f} s ({median / base - 1:+.1%} against FMI 3.0 "
              f"without), fastest {min(elapsed[variant]):.3f} s")
        if checkpoint_times[variant]:
            checkpoint_bytes, results_bytes = sizes[variant]
            share = sum(checkpoint_times[variant]) / sum(elapsed[variant])
            print(f"    checkpoints: {milliseconds(checkpoint_times[variant])}, "
                  f"{share:.2%} of the runs' time; run.checkpoint {checkpoint_bytes} bytes, "
                  f"results {results_bytes / options.stop_time / 1e3:.0f} kB per model second")
    print(f"replacing run.checkpoint ({len(data)} bytes) alone: {milliseconds(replaced)}")


if __name__ == "__main__":
    main()
