"""The unit under the open co-simulation hosts, each run on the recording
archive: FMPy, OSP libcosim (libcosimpy) and the FMU Manipulation Toolbox
(its checker, and a container of the unit simulated by FMPy). For each host:
the run succeeds, every value the host reports is the value the recording
shows the unit returned, and the trace tool's replay of the recording on a
fresh unit gives every status and value again, bit for bit. What each host
calls, and in which order, is told in docs/hosts.md."""

import json
import shutil
import subprocess
import sys
from pathlib import Path

import fmpy
import numpy as np
import pytest
from conftest import read_calls, replay, values_at_communication_points
from libcosimpy.CosimEnums import CosimVariableType
from libcosimpy.CosimExecution import CosimExecution
from libcosimpy.CosimLogging import CosimLogLevel, log_output_level
from libcosimpy.CosimManipulator import CosimManipulator
from libcosimpy.CosimObserver import CosimObserver
from libcosimpy.CosimSlave import CosimLocalSlave

from simulate import settings

TOOLBOX_BIN = Path(sys.executable).parent
# Inputs that step at 0.5 from their first values to their second.
FIRST_INPUTS = (1.0, -0.5)
SECOND_INPUTS = (2.0, 0.25)
SWITCH_TIME = 0.5


@pytest.fixture(scope="session")
def outputs(model_description):
    return [v.name for v in model_description.modelVariables if v.causality == "output"]


def stepped_inputs():
    """The two inputs as an FMPy input signal, stepping at SWITCH_TIME."""
    rows = [(0.0, *FIRST_INPUTS), (SWITCH_TIME, *FIRST_INPUTS), (SWITCH_TIME, *SECOND_INPUTS),
            (1.0, *SECOND_INPUTS)]
    return np.array(rows, dtype=[("time", float), ("channelA.input", float),
                                 ("channelB.input", float)])


def assert_host_reported_the_recorded_values(rows, names, references, points):
    """rows[k][name] is what the host reports at its k-th communication point;
    points[k] what the log shows the unit returned there."""
    assert len(rows) == len(points)
    for k, row in enumerate(rows):
        differing = [name for name in names
                     if float.hex(float(row[name])) != points[k][references[name]]]
        assert not differing, f"communication point {k}: {differing[:5]}"


def assert_every_call_succeeded(calls):
    failed = [call for call in calls if call.get("status", 0) != 0]
    assert not failed, failed[:3]


def instance_handles(calls):
    return {call["instanceName"]: call["result"] for call in calls
            if call["call"] == "fmi2Instantiate"}


# --------------------------------------------------------------------- FMPy

def test_fmpy_runs_the_default_experiment_as_recorded(recording_fmu, model_description, names,
                                                      references, call_log, trace_tool):
    experiment = model_description.defaultExperiment
    profile = settings.read_input_profile(settings.DEFAULT_INPUTS, model_description)
    result = fmpy.simulate_fmu(str(recording_fmu), input=profile, output=names)

    calls = read_calls(call_log)
    assert_every_call_succeeded(calls)
    assert [call["call"] for call in calls[:3]] == ["fmi2Instantiate", "fmi2SetupExperiment",
                                                    "fmi2EnterInitializationMode"]
    setup = calls[1]
    assert setup["stopTimeDefined"] == 1
    assert float.fromhex(setup["stopTime"]) == float(experiment.stopTime)
    steps = [call for call in calls if call["call"] == "fmi2DoStep"]
    assert len(steps) == round(float(experiment.stopTime) / float(experiment.stepSize))
    first_step = calls.index(steps[0])
    assert any(call["call"] == "fmi2SetReal" for call in calls[first_step:]), \
        "the input profile was not applied"
    assert calls[-1]["call"] == "fmi2FreeInstance"

    assert_host_reported_the_recorded_values(result, names, references,
                                             values_at_communication_points(calls))
    replay(trace_tool, call_log)


# ------------------------------------------------------------------ libcosim

def test_libcosim_runs_two_connected_slaves_as_recorded(recording_fmu, outputs, references,
                                                        call_log, trace_tool):
    log_output_level(CosimLogLevel.WARNING)
    execution = CosimExecution.from_step_size(step_size=1_000_000)  # 1 ms in nanoseconds
    # "unit" gets the stepped inputs; "follower" reads the unit's angle as
    # its channel A input through a connection.
    slaves = [CosimLocalSlave(fmu_path=str(recording_fmu), instance_name=name)
              for name in ("unit", "follower")]
    unit, follower = (execution.add_local_slave(local_slave=slave) for slave in slaves)
    manipulator = CosimManipulator.create_override()
    assert execution.add_manipulator(manipulator=manipulator)
    observer = CosimObserver.create_time_series()
    assert execution.add_observer(observer=observer)
    for index in (unit, follower):
        for name in outputs:
            assert observer.start_time_series(index, references[name], CosimVariableType.REAL)
    a_input, b_input = references["channelA.input"], references["channelB.input"]
    assert execution.real_initial_value(unit, a_input, FIRST_INPUTS[0])
    assert execution.real_initial_value(unit, b_input, FIRST_INPUTS[1])
    # This call alone answers libcosim's own status code, 0 for success.
    assert execution.connect_real_variables(unit, references["pose.angle"], follower,
                                            a_input) == 0

    assert execution.simulate_until(target_time=int(SWITCH_TIME * 1e9))
    assert manipulator.slave_real_values(unit, [a_input, b_input], list(SECOND_INPUTS))
    assert execution.simulate_until(target_time=1_000_000_000)
    # Steps 1 to 1000 (libcosimpy drops one sample from a range that begins
    # at step 0).
    steps = 1000
    samples = {(index, name): observer.time_series_real_samples(index, references[name], 1,
                                                                 steps)
               for index in (unit, follower) for name in outputs}
    del execution, slaves, manipulator, observer  # libcosim frees its instances

    calls = read_calls(call_log)
    assert_every_call_succeeded(calls)
    assert calls[-1]["call"] == "fmi2FreeInstance"
    handles = instance_handles(calls)
    for index, name in ((unit, "unit"), (follower, "follower")):
        points = values_at_communication_points(calls, handles[name])
        assert len(points) == steps + 1
        for output in outputs:
            _, step_numbers, values = samples[(index, output)]
            assert list(step_numbers) == list(range(1, steps + 1))
            rows = [{output: value} for value in values]
            assert_host_reported_the_recorded_values(rows, [output], references, points[1:])

    # The manipulator's values reach the unit before the step from 0.5 on.
    unit_calls = [call for call in calls if call.get("instance") == handles["unit"]]
    switch = next(k for k, call in enumerate(unit_calls) if call["call"] == "fmi2DoStep"
                  and float.fromhex(call["currentCommunicationPoint"]) == SWITCH_TIME)
    sets = [call for call in unit_calls[switch - 3:switch] if call["call"] == "fmi2SetReal"]
    assert sets and [float.fromhex(v) for v in sets[-1]["value"]] == list(SECOND_INPUTS)
    replay(trace_tool, call_log)


# ------------------------------------------------- FMU Manipulation Toolbox

def run_toolbox(tool, *arguments, cwd=None):
    completed = subprocess.run([str(TOOLBOX_BIN / tool), *map(str, arguments)], cwd=cwd,
                               capture_output=True, text=True, timeout=300)
    said = completed.stdout + completed.stderr
    assert completed.returncode == 0, said
    return said


def test_toolbox_checks_both_archives_compliant(fmu_path, recording_fmu):
    for archive in (fmu_path, recording_fmu):
        said = run_toolbox("fmutool", "-input", archive, "-check")
        assert "This FMU seems to be compliant with FMI-2.0." in said, said
        assert "No semantic error against the FMI-2 standard." in said, said


def test_toolbox_container_of_the_unit_runs_under_fmpy_as_recorded(recording_fmu, outputs,
                                                                   references, call_log,
                                                                   trace_tool, tmp_path):
    folder = tmp_path / "container"
    folder.mkdir()
    shutil.copy(recording_fmu, folder)
    (folder / "container.json").write_text(
        json.dumps({"name": "container.fmu", "step_size": 0.001,
                    "fmu": [recording_fmu.name]}))
    said = run_toolbox("fmucontainer", "-container", "container.json", "-fmu-directory", folder,
                       cwd=folder)
    assert "Auto-wiring: 0 parameters, 2 inputs" in said, said
    container = folder / "container.fmu"
    assert container.is_file(), said

    result = fmpy.simulate_fmu(str(container), input=stepped_inputs(), output=outputs)
    assert len(result) == 1001

    calls = read_calls(call_log)
    assert_every_call_succeeded(calls)
    assert list(instance_handles(calls)) == ["container." + recording_fmu.name]
    assert_host_reported_the_recorded_values(result, outputs, references,
                                             values_at_communication_points(calls))
    replay(trace_tool, call_log)
