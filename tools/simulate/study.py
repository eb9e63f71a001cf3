"""A study: many cases of one experiment run on a Dask cluster, a local one
(one worker process per core, on 127.0.0.1 only) or one at --scheduler.

Each case runs on a fresh instance in a worker process. The client ships
what the workers need: the archive always (no shared file system), and the
code of this package to a cluster of its own. A worker that dies
loses nothing: Dask runs its cases again elsewhere. The client loses nothing
either: each case's result goes to the study's journal as it arrives
(journal.py), and sweep.csv and sweep.png are written from it, every case
once and in case order, when the study ends or stops.
"""

import contextlib
import hashlib
import os
import signal
import sys
import tempfile
import time
import uuid
import zipfile
from dataclasses import dataclass
from pathlib import Path

from distributed.diagnostics.plugin import WorkerPlugin

from . import unit_run
from .journal import (
    TEMPORARY_PREFIX,
    JournalWriteError,
    fsync_folder,
    read_journal,
)
from .result_files import replace_folder, temporary_beside, write_results_csv
from .settings import OptionError, StudyError
from .single_run import INTERRUPTED
from .sweep_output import plot_sweep, write_sweep_csv

SWEEP_NAME = "sweep.csv"
SWEEP_PLOT_NAME = "sweep.png"
SERIES_FOLDER = "cases"
# The series of the cases finished so far, until the study ends.
SERIES_STAGING = TEMPORARY_PREFIX + "cases"
# Names under which the archive and the code of a case reach the workers.
ARCHIVE_PREFIX = "tarvo-unit-"
CODE_PLUGIN = "tarvo-simulate-code"
# How long to try reaching a scheduler before giving up.
CONNECT_TIMEOUT_SECONDS = 20


@dataclass
class ClusterChoice:
    workers: int = None          # of a local cluster
    scheduler: str = None        # address of an existing cluster
    security: object = None      # distributed.Security for a tls:// scheduler


def cluster_choice(arguments):
    """Checks --workers, --scheduler and the TLS files before anything runs."""
    tls_files = {"--tls-ca-file": arguments.tls_ca_file, "--tls-cert": arguments.tls_cert,
                 "--tls-key": arguments.tls_key}
    if arguments.scheduler is None:
        for option, value in tls_files.items():
            if value is not None:
                raise OptionError(f"{option} belongs to a tls:// --scheduler")
        if arguments.workers is None:
            return ClusterChoice(workers=len(os.sched_getaffinity(0)))
        text = arguments.workers.strip()
        if not text.isdigit() or int(text) < 1:
            raise OptionError(f"--workers: '{arguments.workers}' is not a whole number of "
                              "at least 1")
        return ClusterChoice(workers=int(text))

    if arguments.workers is not None:
        raise OptionError("--workers sizes a local cluster; with --scheduler the cluster "
                          "has the workers started for it")
    address = arguments.scheduler.strip()
    scheme, separator, rest = address.partition("://")
    if not separator:
        scheme, rest = "tcp", address
    if scheme not in ("tcp", "tls") or not rest:
        raise OptionError(f"--scheduler: '{address}' is not a tcp:// or tls:// address")
    if scheme == "tcp":
        for option, value in tls_files.items():
            if value is not None:
                raise OptionError(f"{option} needs a tls:// --scheduler address")
        return ClusterChoice(scheduler=address)
    missing = [option for option, value in tls_files.items() if value is None]
    if missing:
        raise OptionError(f"--scheduler {address}: a tls:// scheduler needs "
                          f"{', '.join(missing)}")
    for option, value in tls_files.items():
        if not Path(value).is_file():
            raise OptionError(f"{option}: no such file {value}")
    from distributed import Security
    security = Security(tls_ca_file=arguments.tls_ca_file, tls_client_cert=arguments.tls_cert,
                        tls_client_key=arguments.tls_key, require_encryption=True)
    return ClusterChoice(scheduler=address, security=security)


class IgnoreInterrupts(WorkerPlugin):
    """Workers of the local cluster share the terminal: Ctrl-C is for the
    client, which stops them itself."""

    def setup(self, worker):
        with contextlib.suppress(ValueError):  # only the main thread may
            signal.signal(signal.SIGINT, signal.SIG_IGN)


@contextlib.contextmanager
def connected(choice):
    """A client of the chosen cluster and a few words saying which it is."""
    import logging

    from distributed import Client, LocalCluster

    if choice.scheduler is None:
        import dask

        # Dask's sampling profiler wakes each worker every 10 ms for the
        # dashboard, which this cluster does not serve.
        dask.config.set({"distributed.worker.profile.enabled": False})
        # Workers started now inherit the ignored Ctrl-C; restarted ones get
        # it from the plugin.
        previous = signal.signal(signal.SIGINT, signal.SIG_IGN)
        try:
            # 127.0.0.1 only, and TLS with a certificate made for this
            # cluster: no other user of the machine can send it code.
            cluster = LocalCluster(n_workers=choice.workers, threads_per_worker=1,
                                   processes=True, host="127.0.0.1", security=True,
                                   dashboard_address="127.0.0.1:0", silence_logs=logging.ERROR)
        finally:
            signal.signal(signal.SIGINT, previous)
        with cluster, Client(cluster) as client:
            client.register_plugin(IgnoreInterrupts(), name="tarvo-ignore-interrupts")
            plural = "s" if choice.workers != 1 else ""
            yield client, f"a local cluster of {choice.workers} worker{plural}", False
        return

    # A lost scheduler ends the study with one line of ours, not with the
    # client's tracebacks of every reconnection it tries.
    logging.getLogger("distributed.client").setLevel(logging.CRITICAL)
    try:
        client = Client(choice.scheduler, security=choice.security,
                        timeout=CONNECT_TIMEOUT_SECONDS)
    except (OSError, TimeoutError, ValueError, TypeError) as error:
        raise StudyError(f"cannot connect to the scheduler at {choice.scheduler} "
                         f"({' '.join(str(error).split())})") from None
    with client:
        workers = len(client.scheduler_info().get("workers", {}))
        plural = "s" if workers != 1 else ""
        yield client, f"the cluster at {choice.scheduler} ({workers} worker{plural} now)", True


def package_zip(folder):
    """This package's code as a zip archive in folder, for Dask to put on the
    path of a worker and import."""
    package = Path(__file__).resolve().parent
    path = Path(folder) / f"{__package__}.zip"
    with zipfile.ZipFile(path, "w") as archive:
        for source in sorted(package.glob("*.py")):
            archive.write(source, f"{__package__}/{source.name}")
    return path


def ship(client, fmu, remote):
    """Sends the archive (named by its content hash) to every worker, present
    and future, and to a cluster of its own also the code of this package."""
    from distributed.diagnostics.plugin import SchedulerUploadFile, UploadFile

    data = fmu.read_bytes()
    archive_name = f"{ARCHIVE_PREFIX}{hashlib.sha256(data).hexdigest()[:16]}.fmu"
    with tempfile.TemporaryDirectory(prefix="simulate-") as staging:
        if remote:
            code = str(package_zip(staging))
            client.register_plugin(SchedulerUploadFile(code), name=CODE_PLUGIN)
            client.register_plugin(UploadFile(code), name=CODE_PLUGIN)
        archive = Path(staging) / archive_name
        archive.write_bytes(data)
        client.register_plugin(UploadFile(str(archive), load=False), name=archive_name)
    return archive_name


def failure_result(error):
    """A case that ended in an exception instead of a result."""
    from distributed import KilledWorker

    if isinstance(error, KilledWorker):
        message = ("the worker process running it ended each time it was tried "
                   f"({' '.join(str(error).split())})")
    else:
        message = f"{type(error).__name__}: {' '.join(str(error).split())}"
    return unit_run.CaseResult("error", message, [], float("nan"))


def write_series(folder, name, series, columns):
    """A case's time series, on the disk before its result is journalled."""
    temporary = temporary_beside(folder, ".csv", prefix=TEMPORARY_PREFIX)
    try:
        write_results_csv(temporary, series, columns)
        with open(temporary, "rb") as file:
            os.fsync(file.fileno())
        os.replace(temporary, folder / name)
    finally:
        temporary.unlink(missing_ok=True)


def write_report(output_dir, table, results, outputs):
    """sweep.csv and sweep.png of the results so far ({case number: result}),
    each written beside its place and renamed."""
    ordered = [results.get(number) for number in range(1, len(table.rows) + 1)]
    sweep_temporary = temporary_beside(output_dir, ".csv", prefix=TEMPORARY_PREFIX)
    plot_temporary = temporary_beside(output_dir, ".png", prefix=TEMPORARY_PREFIX)
    try:
        write_sweep_csv(sweep_temporary, table, ordered, outputs)
        plot_sweep(plot_temporary, table, ordered, outputs)
        os.replace(sweep_temporary, output_dir / SWEEP_NAME)
        os.replace(plot_temporary, output_dir / SWEEP_PLOT_NAME)
    finally:
        for temporary in (sweep_temporary, plot_temporary):
            temporary.unlink(missing_ok=True)


def collect(futures, numbers, journal, keep, resumed):
    """Journals every case as it finishes, each batch of results that arrive
    together in one write; a progress bar counts the cases done, resumed
    ones apart. keep(number, result) stores what goes beside the journal."""
    from concurrent.futures import CancelledError

    from distributed import as_completed
    from tqdm import tqdm

    number_of = {future.key: number for future, number in zip(futures, numbers, strict=True)}
    failed = sum(result.status != "ok" for result in journal.state.results.values())

    def describe():
        return (f"{resumed} resumed, " if resumed else "") + f"{failed} failed"

    total = len(futures) + resumed
    with tqdm(total=total, initial=resumed, desc=describe(), file=sys.stderr,
              bar_format="simulate: {n_fmt}/{total_fmt} cases, {desc} |{bar:24}| "
                         "[{elapsed} elapsed, {remaining} left]") as bar:
        completed = as_completed(futures, with_results=True, raise_errors=False)
        for batch in completed.batches():
            finished = []
            dropped = False
            for future, outcome in batch:
                if isinstance(outcome, CancelledError):
                    dropped = True
                    continue
                if isinstance(outcome, BaseException):
                    outcome = failure_result(outcome)
                keep(number_of[future.key], outcome)
                finished.append((number_of[future.key], outcome))
                future.release()
            # What arrived with the news of a lost cluster is kept all the same.
            if finished:
                journal.append(finished)
            failed += sum(result.status != "ok" for _, result in finished)
            bar.set_description_str(describe(), refresh=False)
            bar.update(len(finished))
            if dropped:
                raise StudyError("the cluster dropped the study (its scheduler stopped or "
                                 "restarted)")


def stopped_line(output_dir, journal, table, resume_command):
    """What a stopped study kept and how to go on; sweep.csv and sweep.png
    show the cases finished so far, as the journal on the disk holds them."""
    with contextlib.suppress(Exception):  # the journal is the record; a full disk may refuse these
        state = read_journal(journal.path)
        if state.results:
            write_report(output_dir, table, state.results, state.header["definition"]["outputs"])
    with contextlib.suppress(Exception):
        journal.state = read_journal(journal.path)
    return (f"{len(journal.state.results)} of {len(table.rows)} cases finished, kept in "
            f"{journal.path}; resume with: {resume_command}")


def run_study(fmu, experiment, table, choice, keep_series, output_dir, journal,
              resume_command):
    """Runs the cases the journal does not hold yet, journalling each as it
    finishes; writes sweep.csv, sweep.png and, when kept, the series from it."""
    count = len(table.rows)
    steps = round((experiment.stop_time - experiment.start_time) / experiment.output_interval)
    width = max(4, len(str(count)))
    staging = output_dir / SERIES_STAGING
    resumed = len(journal.state.results)
    pending = [number for number in range(1, count + 1) if number not in journal.state.results]
    if keep_series:
        staging.mkdir(exist_ok=True)

    def keep(number, result):
        if result.series is not None:
            write_series(staging, f"case-{number:0{width}d}.csv", result.series,
                         ["time"] + experiment.recorded)
            result.series = None
            fsync_folder(staging)

    began = time.monotonic()
    submitted = False
    try:
        if resumed:
            write_report(output_dir, table, journal.state.results, experiment.outputs)
        if pending:
            with connected(choice) as (client, where, remote):
                submitted = True
                print(f"simulate: {count} cases of {fmu.name} from {experiment.start_time:g} "
                      f"to {experiment.stop_time:g}, output interval "
                      f"{experiment.output_interval:g} ({steps} steps), on {where}"
                      + (f"; {resumed} finished before, resumed from the journal"
                         if resumed else ""), flush=True)
                began = time.monotonic()
                archive_name = ship(client, fmu, remote)
                token = uuid.uuid4().hex[:8]
                futures = [client.submit(unit_run.run_case, archive_name, experiment,
                                         dict(zip(table.names, table.rows[number - 1],
                                                  strict=True)),
                                         keep_series, key=f"tarvo-case-{number}-{token}",
                                         pure=False)
                           for number in pending]
                collect(futures, pending, journal, keep, resumed)
                with contextlib.suppress(Exception):
                    client.unregister_worker_plugin(archive_name)
        elapsed = time.monotonic() - began
        write_report(output_dir, table, journal.state.results, experiment.outputs)
        if keep_series and staging.exists():
            replace_folder(staging, output_dir / SERIES_FOLDER)
    except KeyboardInterrupt:
        print(f"simulate: interrupted: {stopped_line(output_dir, journal, table, resume_command)}",
              file=sys.stderr)
        return INTERRUPTED
    except (StudyError, JournalWriteError) as error:
        if not submitted:  # no cluster to run on: nothing ran, nothing to report
            raise
        raise StudyError(f"{error}; {stopped_line(output_dir, journal, table, resume_command)}"
                         ) from None
    except OSError as error:
        raise StudyError(f"cannot write the results in {output_dir} ({error.strerror}); "
                         f"{stopped_line(output_dir, journal, table, resume_command)}") from None

    failed = sum(result.status != "ok" for result in journal.state.results.values())
    print(f"simulate: {count} cases in {elapsed:.1f} s, {count - failed} ok, {failed} failed"
          + (f" ({resumed} of them resumed from the journal)" if resumed else ""))
    print(f"sweep:   {output_dir / SWEEP_NAME}")
    print(f"plot:    {output_dir / SWEEP_PLOT_NAME}")
    if keep_series:
        print(f"series:  {output_dir / SERIES_FOLDER}/")
    print(f"journal: {journal.path}")
    return 0
