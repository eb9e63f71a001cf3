"""Shared fixtures of the FMU tests: the built archive, the trace tool, a
plain FMPy host, and the recording archive, whose log of every call a host
makes the trace tool replays on a fresh unit, comparing every status and
value bit for bit.

The build folder is TARVO_BUILD_DIR, or build/ beside the tests.
"""

import contextlib
import csv
import json
import os
import subprocess
import sys
import time
from pathlib import Path

import fmpy
import pytest
from fmpy.fmi2 import FMU2Slave

REPOSITORY = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("TARVO_BUILD_DIR", REPOSITORY / "build"))
VALUE_COUNT = 247
DASK = Path(sys.executable).parent / "dask"


def platforms_required():
    """Whether a missing cross compiler or emulator fails the tests instead
    of skipping them (./run-tests and CI)."""
    return os.environ.get("TARVO_REQUIRE_PLATFORMS") == "1" or \
        os.environ.get("CI", "") not in ("", "false")


def skip_or_fail(reason):
    if platforms_required():
        pytest.fail(reason)
    pytest.skip(reason)


def archives():
    """The archives of the build: the default one and, where built, the
    portable one, as (variant, path)."""
    found = [("default", BUILD / "Tarvo_Unit.fmu")]
    if (BUILD / "Tarvo_Unit-portable.fmu").is_file():
        found.append(("portable", BUILD / "Tarvo_Unit-portable.fmu"))
    return found


def built(name, target):
    """A file of the build, which the target makes."""
    path = BUILD / name
    if not path.is_file():
        pytest.fail(f"{path} is missing: build the target {target} first")
    return path


@pytest.fixture(scope="session")
def fmu_path():
    return built("Tarvo_Unit.fmu", "fmu")


@pytest.fixture(scope="session")
def fmi3_fmu_path():
    return built("Tarvo_Unit-fmi3.fmu", "fmu-fmi3")


@pytest.fixture
def small_disk(tmp_path):
    """A filesystem of 1 MiB (tmpfs, which needs root)."""
    mount_point = tmp_path / "disk"
    mount_point.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs",
                              str(mount_point)], capture_output=True, text=True)
    if mounted.returncode != 0:
        pytest.skip(f"no small filesystem here: {mounted.stderr.strip()}")
    try:
        yield mount_point
    finally:
        subprocess.run(["umount", "-l", str(mount_point)], check=False)


def finish(process, timeout=300):
    """Waits for a process started apart; its status and output."""
    try:
        out, err = process.communicate(timeout=timeout)
    finally:
        process.kill()
    return process.returncode, out, err


def fill_disk(path):
    """Writes zeros to a new file at path until its disk is full."""
    with contextlib.suppress(OSError), open(path, "wb", buffering=0) as file:
        while True:
            file.write(b"\0" * 4096)


@pytest.fixture(scope="session")
def trace_tool():
    return built("tools/trace/trace", "tarvo_trace")


@pytest.fixture(scope="session")
def model_description(fmu_path):
    return fmpy.read_model_description(str(fmu_path))


@pytest.fixture(scope="session")
def unpacked(fmu_path, tmp_path_factory):
    """The archive unpacked once; tests only read from it."""
    return Path(fmpy.extract(str(fmu_path), tmp_path_factory.mktemp("unpacked")))


@pytest.fixture(scope="session")
def references(model_description):
    """Value references by variable name: tests name the values they use."""
    return {v.name: v.valueReference for v in model_description.modelVariables}


@pytest.fixture(scope="session")
def names(model_description):
    """Variable names in value-reference order."""
    ordered = sorted(model_description.modelVariables, key=lambda v: v.valueReference)
    return [variable.name for variable in ordered]


def hex_value(value):
    """A double as the trace tool writes it (float.hex; nan, inf, -inf)."""
    return float.hex(float(value))


class SlaveHost:
    """FMPy's FMU2Slave of the unpacked archive, driven by the test itself."""

    def __init__(self, unpacked_dir, model_description, instance_name="unit"):
        self.slave = FMU2Slave(guid=model_description.guid, unzipDirectory=str(unpacked_dir),
                               modelIdentifier=model_description.coSimulation.modelIdentifier,
                               instanceName=instance_name)

    def all_values(self):
        """The 247 values now held by the unit, as the trace tool writes them."""
        return [hex_value(v) for v in self.slave.getReal(list(range(VALUE_COUNT)))]


def run_trace(trace_tool, library, scenario, work_dir):
    """Runs a scenario through the trace tool; returns [(status, [hex values])]."""
    work_dir = Path(work_dir)
    scenario_path = work_dir / f"{scenario['name']}.json"
    result_path = work_dir / f"{scenario['name']}.result.json"
    scenario_path.write_text(json.dumps(scenario))
    completed = subprocess.run([str(trace_tool), "--library", str(library), str(scenario_path),
                                "--output", str(result_path)],
                               capture_output=True, text=True, timeout=600)
    assert completed.returncode == 0, completed.stderr
    result = json.loads(result_path.read_text())
    return [(record["status"], record["values"]) for record in result["records"]]


def binary_of(unpacked_dir):
    return Path(unpacked_dir) / "binaries" / "linux64" / "Tarvo_Unit.so"


@pytest.fixture(scope="session")
def recording_fmu():
    return built("Tarvo_Unit.recording.fmu", "recording_fmu")


@pytest.fixture
def call_log(tmp_path, monkeypatch):
    """Where the recording archive writes the calls of this test's host."""
    path = tmp_path / "calls.jsonl"
    monkeypatch.setenv("TARVO_RECORDER_LOG", str(path))
    return path


def read_calls(path):
    """The calls of a recorder log, in order, without its session lines."""
    with open(path) as log:
        lines = [json.loads(line) for line in log]
    return [line for line in lines if "call" in line]


def values_at_communication_points(calls, instance=None):
    """What the host read of one instance (by default the first): {value
    reference: hex value} after its initialisation, then after each of its
    fmi2DoStep calls."""
    if instance is None:
        instance = next(call["result"] for call in calls if call["call"] == "fmi2Instantiate")
    points = []
    current = None
    for call in calls:
        if call.get("instance") != instance:
            continue
        if call["call"] in ("fmi2ExitInitializationMode", "fmi2DoStep"):
            current = {}
            points.append(current)
        elif call["call"] == "fmi2GetReal" and current is not None and "value" in call:
            current.update(zip(call["vr"], call["value"], strict=True))
    return points


def replay(trace_tool, calls_path):
    """Replays a recorder log on the built unit; returns what the tool said."""
    completed = subprocess.run([str(trace_tool), "--library", str(BUILD / "src" / "Tarvo_Unit.so"),
                                "--replay", str(calls_path)],
                               capture_output=True, text=True, timeout=600)
    assert completed.returncode == 0, completed.stderr
    assert "every status and value identical" in completed.stdout
    return completed.stdout


def read_rows(path):
    """sweep.csv without the wall times, which differ from run to run."""
    with open(path, newline="") as file:
        rows = list(csv.reader(file))
    assert rows[0][-1] == "wall_s"
    return [row[:-1] for row in rows]


class Cluster:
    """A scheduler and workers as separate processes, each in its own folder."""

    def __init__(self, folder, tls=()):
        self.folder = folder
        self.tls = list(tls)  # --tls-ca-file CA --tls-cert CERT --tls-key KEY
        self.processes = []
        scheduler_file = folder / "scheduler.json"
        protocol = ["--protocol", "tls"] if tls else []
        self.scheduler = self._start("scheduler", "scheduler", *protocol, "--host",
                                     "127.0.0.1", "--port", "0", "--no-dashboard",
                                     "--scheduler-file", str(scheduler_file))
        deadline = time.monotonic() + 60
        self.address = None
        while self.address is None:
            assert self.scheduler.poll() is None, self.log("scheduler")
            assert time.monotonic() < deadline, "the scheduler did not start"
            time.sleep(0.1)
            with contextlib.suppress(OSError, ValueError, KeyError):
                self.address = json.loads(scheduler_file.read_text())["address"]
        self.workers = []
        self.start_workers(2)

    def start_workers(self, count):
        first = len(self.workers) + 1
        self.workers += [self._start(f"worker-{n}", "worker", self.address, "--no-nanny",
                                     "--nthreads", "1", "--host", "127.0.0.1",
                                     "--no-dashboard") for n in range(first, first + count)]

    def _start(self, name, *arguments):
        folder = self.folder / name
        folder.mkdir()
        with open(folder / "log", "w") as log:
            process = subprocess.Popen([str(DASK), *arguments, *self.tls], cwd=folder,
                                       stdout=log, stderr=subprocess.STDOUT,
                                       env={**os.environ,
                                            "DASK_TEMPORARY_DIRECTORY": str(folder)})
        self.processes.append(process)
        return process

    def log(self, name):
        return (self.folder / name / "log").read_text()

    def client(self):
        from distributed import Client, Security
        security = None
        if self.tls:
            ca, cert, key = self.tls[1], self.tls[3], self.tls[5]
            security = Security(tls_ca_file=ca, tls_client_cert=cert, tls_client_key=key,
                                require_encryption=True)
        return Client(self.address, security=security, timeout=30)

    def wait_for_workers(self):
        """Waits for the workers alive; returns their addresses."""
        alive = sum(worker.poll() is None for worker in self.workers)
        with self.client() as client:
            client.wait_for_workers(alive, timeout=60)
            return list(client.scheduler_info()["workers"])

    def stop(self):
        """Workers first: a worker whose scheduler is gone waits for it."""
        for group in (self.workers, [self.scheduler]):
            for process in group:
                if process.poll() is None:
                    process.terminate()
            for process in group:
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
