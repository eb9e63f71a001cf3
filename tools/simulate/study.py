"""A study: many cases of one experiment run on a Dask cluster, a local one
(one worker process per core, on 127.0.0.1 only) or one at --scheduler.

Each case runs on a fresh instance in a worker process. The client ships
what the workers need: the archive always (no shared file system), and the
code of this package to a cluster of its own. A worker that dies
loses nothing: Dask runs its cases again elsewhere, and every case is
recorded once, in case order. Results appear only when the study ends.
"""

import contextlib
import hashlib
import os
import shutil
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
from .result_files import (
    replace_folder,
    temporary_beside,
    temporary_folder_beside,
    write_results_csv,
)
from .settings import OptionError, StudyError
from .single_run import INTERRUPTED
from .sweep_output import plot_sweep, write_sweep_csv

SWEEP_NAME = "sweep.csv"
SWEEP_PLOT_NAME = "sweep.png"
SERIES_FOLDER = "cases"
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


def collect(futures, on_result):
    """Waits for every case, in the order they finish, with a progress bar."""
    from concurrent.futures import CancelledError

    from distributed import as_completed
    from tqdm import tqdm

    index_of = {future.key: index for index, future in enumerate(futures)}
    failed = 0
    with tqdm(total=len(futures), desc="0 failed", file=sys.stderr,
              bar_format="simulate: {n_fmt}/{total_fmt} cases, {desc} |{bar:24}| "
                         "[{elapsed} elapsed, {remaining} left]") as bar:
        for future, outcome in as_completed(futures, with_results=True, raise_errors=False):
            if isinstance(outcome, CancelledError):
                raise StudyError("the cluster dropped the study (its scheduler stopped or "
                                 "restarted); no results written")
            if isinstance(outcome, BaseException):
                outcome = failure_result(outcome)
            on_result(index_of[future.key], outcome)
            future.release()
            failed += outcome.status != "ok"
            bar.set_description_str(f"{failed} failed", refresh=False)
            bar.update(1)
    return failed


def run_study(fmu, experiment, table, choice, keep_series, output_dir):
    count = len(table.rows)
    steps = round((experiment.stop_time - experiment.start_time) / experiment.output_interval)
    results = [None] * count
    width = max(4, len(str(count)))
    sweep_temporary = temporary_beside(output_dir, ".csv")
    plot_temporary = temporary_beside(output_dir, ".png")
    series_temporary = temporary_folder_beside(output_dir) if keep_series else None
    finished = 0

    def on_result(index, result):
        nonlocal finished
        if result.series is not None:
            write_results_csv(series_temporary / f"case-{index + 1:0{width}d}.csv",
                              result.series, ["time"] + experiment.recorded)
            result.series = None
        results[index] = result
        finished += 1

    try:
        with connected(choice) as (client, where, remote):
            print(f"simulate: {count} cases of {fmu.name} from {experiment.start_time:g} to "
                  f"{experiment.stop_time:g}, output interval {experiment.output_interval:g} "
                  f"({steps} steps), on {where}", flush=True)
            began = time.monotonic()
            archive_name = ship(client, fmu, remote)
            token = uuid.uuid4().hex[:8]
            futures = [client.submit(unit_run.run_case, archive_name, experiment,
                                     dict(zip(table.names, values, strict=True)), keep_series,
                                     key=f"tarvo-case-{number}-{token}", pure=False)
                       for number, values in enumerate(table.rows, start=1)]
            failed = collect(futures, on_result)
            elapsed = time.monotonic() - began
            with contextlib.suppress(Exception):
                client.unregister_worker_plugin(archive_name)

        write_sweep_csv(sweep_temporary, table, results, experiment.outputs)
        plot_sweep(plot_temporary, table, results, experiment.outputs)
        os.replace(sweep_temporary, output_dir / SWEEP_NAME)
        os.replace(plot_temporary, output_dir / SWEEP_PLOT_NAME)
        if keep_series:
            replace_folder(series_temporary, output_dir / SERIES_FOLDER)
    except KeyboardInterrupt:
        print(f"simulate: interrupted: {finished} of {count} cases had finished; no results "
              "written, earlier results left as they were", file=sys.stderr)
        return INTERRUPTED
    finally:
        for temporary in (sweep_temporary, plot_temporary):
            temporary.unlink(missing_ok=True)
        if series_temporary is not None and series_temporary.exists():
            shutil.rmtree(series_temporary, ignore_errors=True)

    print(f"simulate: {count} cases in {elapsed:.1f} s, {count - failed} ok, {failed} failed")
    print(f"sweep:   {output_dir / SWEEP_NAME}")
    print(f"plot:    {output_dir / SWEEP_PLOT_NAME}")
    if keep_series:
        print(f"series:  {output_dir / SERIES_FOLDER}/")
    return 0
