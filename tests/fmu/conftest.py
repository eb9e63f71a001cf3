"""Shared fixtures of the FMU tests: the built archive, the trace tool, and a
host that records every call it makes, so that the same sequence can be run
again through the trace tool and compared value by value, bit for bit.

The build folder is TARVO_BUILD_DIR, or build/ beside the tests.
"""

import json
import os
import subprocess
import sys
from pathlib import Path

import fmpy
import pytest
from fmpy.fmi2 import FMU2Slave

REPOSITORY = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("TARVO_BUILD_DIR", REPOSITORY / "build"))
VALUE_COUNT = 247

sys.path.insert(0, str(REPOSITORY / "tools" / "simulate"))


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


@pytest.fixture(scope="session")
def fmu_path():
    path = BUILD / "Tarvo_Unit.fmu"
    if not path.is_file():
        pytest.fail(f"{path} is missing: build the target fmu first")
    return path


@pytest.fixture(scope="session")
def trace_tool():
    path = BUILD / "tools" / "trace" / "trace"
    if not path.is_file():
        pytest.fail(f"{path} is missing: build the target tarvo_trace first")
    return path


@pytest.fixture(scope="session")
def model_description(fmu_path):
    return fmpy.read_model_description(str(fmu_path))


@pytest.fixture(scope="session")
def unpacked(fmu_path, tmp_path_factory):
    """The archive unpacked once; tests only read from it."""
    return Path(fmpy.extract(str(fmu_path), tmp_path_factory.mktemp("unpacked")))


@pytest.fixture(scope="session")
def names(model_description):
    """Variable names in value-reference order."""
    ordered = sorted(model_description.modelVariables, key=lambda v: v.valueReference)
    return [variable.name for variable in ordered]


def hex_value(value):
    """A double as the trace tool writes it (float.hex; nan, inf, -inf)."""
    return float.hex(float(value))


class RecordingHost:
    """An FMU2Slave whose real-valued sets, steps and set-up are recorded with
    their exact arguments as a trace scenario, whoever makes the calls (the
    test itself or FMPy's simulate_fmu)."""

    def __init__(self, unpacked_dir, model_description, instance_name="recorded"):
        self.slave = FMU2Slave(guid=model_description.guid, unzipDirectory=str(unpacked_dir),
                               modelIdentifier=model_description.coSimulation.modelIdentifier,
                               instanceName=instance_name)
        self.setup = None
        self.init_sets = []
        self.steps = []
        self.pending_sets = []
        self.initialised = False
        self._wrap("fmi2SetupExperiment", self._on_setup)
        self._wrap("fmi2SetReal", self._on_set_real)
        self._wrap("fmi2ExitInitializationMode", self._on_exit_initialization)
        self._wrap("fmi2DoStep", self._on_step)

    def _wrap(self, name, record):
        call = getattr(self.slave, name)

        def recorded(*arguments):
            record(arguments)
            return call(*arguments)

        setattr(self.slave, name, recorded)

    def _on_setup(self, arguments):
        _, _, _, start_time, stop_time_defined, stop_time = arguments
        self.setup = {"startTime": hex_value(start_time),
                      "stopTimeDefined": int(stop_time_defined),
                      "stopTime": hex_value(stop_time)}

    def _on_set_real(self, arguments):
        _, references, count, values = arguments
        pairs = [[int(references[i]), hex_value(values[i])] for i in range(count)]
        (self.pending_sets if self.initialised else self.init_sets).extend(pairs)

    def _on_exit_initialization(self, arguments):
        self.initialised = True

    def _on_step(self, arguments):
        _, communication_point, step_size, _ = arguments
        self.steps.append({"sets": self.pending_sets, "t": hex_value(communication_point),
                           "h": hex_value(step_size)})
        self.pending_sets = []

    def scenario(self, name):
        return {"name": name, "setup": self.setup, "init_sets": self.init_sets,
                "steps": self.steps}

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
