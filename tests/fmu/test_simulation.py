"""The unit simulated by FMPy: start values and inputs reach the model,
snapshots repeat a step, and a last communication point just past the stop
time completes. (The default experiment, recorded and replayed bit for bit,
is among the host tests in test_hosts.py.)"""

import fmpy
import numpy as np
import pytest
from conftest import SlaveHost, read_calls
from fmpy.fmi1 import FMICallException


def test_start_values_and_input_signals_reach_the_model(unpacked, model_description):
    # Piecewise constant inputs, stepped between two communication points.
    signals = np.array([(0.0, 0.5, -0.25), (0.0045, 0.5, -0.25), (0.0045, 1.5, 0.75),
                        (0.01, 1.5, 0.75)],
                       dtype=[("time", float), ("channelA.input", float),
                              ("channelB.input", float)])
    start_values = {"level.capacity": 123.0, "initialValues[7]": 0.25, "pose.offset[0]": -1.0}
    seen = ["time", "level.capacity", "pose.angle", "pose.vector[0]", "variables[85]",
            "variables[98]", "channelA.input", "channelB.input"]
    result = fmpy.simulate_fmu(str(unpacked), stop_time=0.01, output_interval=0.001,
                               start_values=start_values, input=signals, output=seen)

    assert np.all(result["level.capacity"] == 123.0)
    assert result["pose.angle"][0] == 0.25           # S[7] starts at IV[7], P[15] is 0
    assert result["pose.vector[0]"][0] == 0.0 - 1.0  # S[5] + P[13]
    # After the step from t, the model's copies of the inputs hold the
    # values that FMPy set at t.
    for k in range(1, len(result)):
        before_step = result["time"][k - 1] < 0.0045
        assert result["variables[85]"][k] == (0.5 if before_step else 1.5)
        assert result["variables[98]"][k] == (-0.25 if before_step else 0.75)


def test_fmu_state_repeats_a_step_exactly(unpacked, model_description, references):
    inputs = [references["channelA.input"], references["channelB.input"]]
    host = SlaveHost(unpacked, model_description)
    slave = host.slave
    slave.instantiate()
    slave.setupExperiment(startTime=0.0)
    slave.enterInitializationMode()
    slave.exitInitializationMode()
    slave.setReal(inputs, [1.0, -0.5])
    for k in range(3):
        slave.doStep(currentCommunicationPoint=k * 1e-3, communicationStepSize=1e-3)
    before = host.all_values()
    state = slave.getFMUstate()

    slave.setReal(inputs[:1], [2.0])
    slave.doStep(currentCommunicationPoint=3e-3, communicationStepSize=1e-3)
    first = host.all_values()

    slave.setFMUstate(state)
    assert host.all_values() == before
    slave.setReal(inputs[:1], [2.0])
    slave.doStep(currentCommunicationPoint=3e-3, communicationStepSize=1e-3)
    assert host.all_values() == first
    assert first != before

    slave.freeFMUstate(state)
    slave.terminate()
    slave.freeInstance()


def test_last_communication_point_just_past_the_stop_time_completes(unpacked, model_description,
                                                                    recording_fmu, call_log):
    # 0.1 + 0.1 + 0.1 style: FMPy's third point lies a few ulps past 0.3.
    result = fmpy.simulate_fmu(str(recording_fmu), stop_time=0.3, output_interval=0.1,
                               output=["level.used"])
    last = [call for call in read_calls(call_log) if call["call"] == "fmi2DoStep"][-1]
    assert float.fromhex(last["currentCommunicationPoint"]) + \
        float.fromhex(last["communicationStepSize"]) > 0.3
    assert last["status"] == 0
    assert len(result) == 4

    # A step well beyond the stop time is still refused.
    host = SlaveHost(unpacked, model_description)
    host.slave.instantiate()
    host.slave.setupExperiment(startTime=0.0, stopTime=0.001)
    host.slave.enterInitializationMode()
    host.slave.exitInitializationMode()
    try:
        with pytest.raises(FMICallException):
            host.slave.doStep(currentCommunicationPoint=0.0, communicationStepSize=0.002)
    finally:
        host.slave.freeInstance()
