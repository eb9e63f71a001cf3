"""Benchmark of studies: how many cases a second a local Dask cluster runs
with 1 worker and with one per core, and what a case costs beyond the unit's
own stepping.

    .venv/bin/python bench/study_bench.py [--cases 64] [--stop-time 1] [--workers 2]

The cases vary level.capacity over the default experiment (the default
input profile, 1000 communication steps of 0.001). Measured, each on the
same cases:
  - in this process, one after another, the calls a worker makes for a case
    (unit_run.run_prepared), with the time spent inside fmi2DoStep summed:
    the unit's stepping time and FMPy's host work around it;
  - on a local cluster of 1 worker and of N workers (the study's own
    cluster, shipping and tasks): the wall time from the first submission to
    the last result, and the one-off costs of starting the cluster and
    shipping the archive.
The overhead of a case on the cluster is its share of the 1-worker wall
time less the run itself as the worker timed it (wall_s of sweep.csv):
scheduling, sending the task and its result, and unpacking the archive and
reading its model description once per worker.

Then the study's journal, side by side: the same cases collected as a study
collects them on a cluster of N workers, alternately with the journal (each
batch of results written and synced to a journal in --folder before it
counts) and with the results kept in memory only; the wall time of each
round, and the time the client spent writing and syncing per case against
the case's own run time.
"""

import argparse
import statistics
import tempfile
import time
from pathlib import Path

from simulate import journal, study, unit_run
from simulate.cases import CaseTable
from simulate.settings import DEFAULT_INPUTS, build_experiment

REPOSITORY = Path(__file__).resolve().parents[1]


def experiment_for(model_description, stop_time):
    arguments = argparse.Namespace(stop_time=stop_time, output_interval=None,
                                   inputs=str(DEFAULT_INPUTS))
    return build_experiment(model_description, arguments, {}, held=("level.capacity",))


def in_process(fmu, model_description, experiment, capacities):
    """Per case: wall time of the worker's calls, and of fmi2DoStep alone."""
    from fmpy.fmi2 import FMU2Slave

    stepping = [0.0]
    original = FMU2Slave.doStep

    def timed_step(self, *arguments, **keywords):
        began = time.perf_counter()
        try:
            return original(self, *arguments, **keywords)
        finally:
            stepping[0] += time.perf_counter() - began

    walls, steps = [], []
    with tempfile.TemporaryDirectory() as folder:
        archive = Path(folder) / fmu.name
        archive.write_bytes(fmu.read_bytes())
        unpacked, description = unit_run.prepared_archive(archive)
        FMU2Slave.doStep = timed_step
        try:
            for capacity in capacities:
                stepping[0] = 0.0
                began = time.perf_counter()
                result = unit_run.run_prepared(unpacked, description, experiment,
                                               {"level.capacity": capacity}, False)
                walls.append(time.perf_counter() - began)
                steps.append(stepping[0])
                assert result.status == "ok", result.message
        finally:
            FMU2Slave.doStep = original
    return walls, steps


def on_cluster(fmu, experiment, capacities, workers):
    """Wall time of the cases on a local cluster, its one-off costs, and the
    processor time the workers and this process (client, scheduler, nannies)
    spent on the cases: on a busy machine wall time above processor time
    shows how much of a core each worker got."""
    began = time.perf_counter()
    with study.connected(study.ClusterChoice(workers=workers)) as (client, _, _):
        started = time.perf_counter()
        archive_name = study.ship(client, fmu, remote=False)
        shipped = time.perf_counter()
        workers_before = client.run(time.process_time)
        here_before = time.process_time()
        futures = [client.submit(unit_run.run_case, archive_name, experiment,
                                 {"level.capacity": capacity}, False, pure=False)
                   for capacity in capacities]
        results = client.gather(futures)
        finished = time.perf_counter()
        here = time.process_time() - here_before
        workers_after = client.run(time.process_time)
        client.unregister_worker_plugin(archive_name)
    assert all(result.status == "ok" for result in results)
    return {"start": started - began, "ship": shipped - started,
            "cases": finished - shipped, "case_walls": [r.wall_s for r in results],
            "workers_cpu": sum(workers_after[w] - workers_before[w] for w in workers_after),
            "here_cpu": here}


class InMemory:
    """What collect() needs of a journal, without the file."""

    def __init__(self):
        self.state = journal.JournalState()

    def append(self, numbered_results):
        self.state.results.update(numbered_results)


class TimedJournal(journal.Journal):
    """The journal, with the wall time and the processor time of appending
    and syncing summed (this thread's: Dask's client works on another)."""

    spent = 0.0
    processor = 0.0
    batches = 0

    def append(self, numbered_results):
        began, began_processor = time.perf_counter(), time.thread_time()
        try:
            super().append(numbered_results)
        finally:
            self.spent += time.perf_counter() - began
            self.processor += time.thread_time() - began_processor
            self.batches += 1


def journal_rounds(fmu, experiment, capacities, workers, folder, rounds):
    """Wall times of the same cases collected with and without the journal,
    alternating on one cluster; the journal's own time per case."""
    table = CaseTable(["level.capacity"], [(capacity,) for capacity in capacities])
    definition = journal.study_definition(journal.file_sha256(fmu), experiment, table, False)
    numbers = list(range(1, len(capacities) + 1))
    walls = {"with": [], "without": []}
    spent, processor, batches, case_walls = [], [], [], []
    with study.connected(study.ClusterChoice(workers=workers)) as (client, _, _):
        archive_name = study.ship(client, fmu, remote=False)
        for round_number in range(2 * rounds):
            kind = "with" if round_number % 2 == 0 else "without"
            if kind == "with":
                record = TimedJournal.create(folder, journal.header_for(definition, fmu))
            else:
                record = InMemory()
            began = time.perf_counter()
            futures = [client.submit(unit_run.run_case, archive_name, experiment,
                                     {"level.capacity": capacity}, False, pure=False)
                       for capacity in capacities]
            study.collect(futures, numbers, record, lambda number, result: None, 0)
            walls[kind].append(time.perf_counter() - began)
            case_walls += [result.wall_s for result in record.state.results.values()]
            if kind == "with":
                spent.append(record.spent)
                processor.append(record.processor)
                batches.append(record.batches)
                record.close()
        client.unregister_worker_plugin(archive_name)
    return walls, spent, processor, batches, statistics.mean(case_walls)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cases", type=int, default=64)
    parser.add_argument("--stop-time", default="1")
    parser.add_argument("--workers", type=int, default=len(study.os.sched_getaffinity(0)))
    parser.add_argument("--fmu", default=str(REPOSITORY / "build" / "Tarvo_Unit.fmu"))
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds with and without the journal")
    parser.add_argument("--folder", default=str(REPOSITORY / "out"),
                        help="where the journal goes (the disk a study writes to)")
    parser.add_argument("--journal-only", action="store_true",
                        help="measure only the journal, with and without")
    arguments = parser.parse_args()

    import fmpy
    fmu = Path(arguments.fmu)
    model_description = fmpy.read_model_description(str(fmu))
    experiment = experiment_for(model_description, arguments.stop_time)
    capacities = [100.0 + 2400.0 * k / (arguments.cases - 1) for k in range(arguments.cases)]
    if not arguments.journal_only:
        measure_cluster(fmu, model_description, experiment, capacities, arguments)
    measure_journal(fmu, experiment, capacities, arguments)


def measure_cluster(fmu, model_description, experiment, capacities, arguments):
    count = len(capacities)
    walls, steps = in_process(fmu, model_description, experiment, capacities)
    case = statistics.mean(walls)
    stepping = statistics.mean(steps)
    print(f"{count} cases of the experiment 0 to {arguments.stop_time}, one after another in "
          f"this process: {sum(walls):.2f} s")
    print(f"  per case {case * 1e3:.1f} ms: the unit stepping (inside fmi2DoStep) "
          f"{stepping * 1e3:.1f} ms, FMPy's host work {(case - stepping) * 1e3:.1f} ms")

    rates = {}
    for workers in sorted({1, arguments.workers}):
        measured = on_cluster(fmu, experiment, capacities, workers)
        rates[workers] = count / measured["cases"]
        print(f"local cluster of {workers} worker{'s' if workers > 1 else ''}: "
              f"{measured['cases']:.2f} s for {count} cases, {rates[workers]:.2f} cases/s "
              f"(cluster started in {measured['start']:.2f} s, archive shipped in "
              f"{measured['ship'] * 1e3:.0f} ms)")
        print(f"  processor time per case: workers {measured['workers_cpu'] / count * 1e3:.1f} ms, "
              f"client and scheduler {measured['here_cpu'] / count * 1e3:.1f} ms; each worker "
              f"had {100 * measured['workers_cpu'] / (workers * measured['cases']):.0f} % of a "
              "core")
        if workers == 1:
            per_case = measured["cases"] / count
            on_worker = statistics.mean(measured["case_walls"])
            overhead = per_case - on_worker
            print(f"  per case {per_case * 1e3:.1f} ms, the run itself on the worker "
                  f"{on_worker * 1e3:.1f} ms: {overhead * 1e3:.1f} ms overhead per case, "
                  f"{100 * overhead / on_worker:.1f} % of the run, "
                  f"{100 * overhead / stepping:.1f} % of the unit's stepping time")
    if len(rates) > 1:
        print(f"{arguments.workers} workers against 1: {rates[arguments.workers] / rates[1]:.2f} "
              "times the throughput")




def measure_journal(fmu, experiment, capacities, arguments):
    count = len(capacities)
    Path(arguments.folder).mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="study-bench-", dir=arguments.folder) as folder:
        walls, spent, processor, batches, case = journal_rounds(fmu, experiment, capacities,
                                                     arguments.workers, Path(folder),
                                                     arguments.rounds)
    per_case = statistics.median(spent) / count
    processor_per_case = statistics.median(processor) / count
    print(f"journal, {arguments.rounds} rounds of {count} cases each way on "
          f"{arguments.workers} worker{'s' if arguments.workers > 1 else ''}, alternating: "
          "wall time with " + ", ".join(f"{wall:.2f}" for wall in walls["with"])
          + " s, without " + ", ".join(f"{wall:.2f}" for wall in walls["without"]) + " s")
    with_journal, without = statistics.median(walls["with"]), statistics.median(walls["without"])
    print(f"  medians {with_journal:.2f} s with, {without:.2f} s without: "
          f"{100 * (with_journal / without - 1):+.1f} %")
    print(f"  the client writing and syncing: {statistics.median(batches):.0f} batches per round, "
          f"{per_case * 1e3:.2f} ms per case waited for the disk while the workers go on, "
          f"{processor_per_case * 1e3:.3f} ms of processor time per case: "
          f"{100 * processor_per_case / case:.3f} % of a case's run ({case * 1e3:.1f} ms on its "
          "worker)")


if __name__ == "__main__":
    main()
