"""A single run of the FMI 3.0 unit, one communication step at a time, so
that the run can stop between two steps, serialise the unit's state and go
on later from it in a fresh instance.

Each step makes the calls of FMPy's simulate_fmu for an FMI 3.0
co-simulation (0.3.32: start values, initialisation, the input profile
applied before each step, the communication points, the values recorded
after it) in the same order and with the same arguments, built from FMPy's
own Input and Recorder, so that its results are the same bits as those of
a run under simulate_fmu. Where it goes on from a state, it needs only the
model time and the number of regular communication points passed: the
input profile depends on the time alone, and the next point is counted from
the start, as FMPy counts it.
"""

import contextlib
import io
from math import isclose

from .unit_run import (
    collect_messages,
    element_names,
    fmpy_start_values,
    instantiate,
    recorded_variables,
    refusal,
)


class Stepper:
    """One instance of the FMI 3.0 unit and where its run is. Its methods
    raise UnitRefusal with the unit's messages when a call fails; they
    collect the messages of the thread that made it."""

    def __init__(self, unpacked_dir, model_description, experiment):
        from fmpy.simulation import Input, Recorder

        self.model_description = model_description
        self.experiment = experiment
        self.time = experiment.start_time
        self.steps = 0               # regular communication points passed
        self.terminated = False
        collect_messages()
        self.fmu = None
        with self.refusals():
            self.fmu = instantiate(unpacked_dir, model_description)
            # FMPy prints a warning for every input left out of the profile:
            # those are the inputs held at a value on purpose.
            with contextlib.redirect_stdout(io.StringIO()):
                self.input = Input(self.fmu, model_description, experiment.input_profile)
            self.recorder = Recorder(
                self.fmu, model_description,
                variableNames=recorded_variables(model_description, experiment.recorded),
                interval=experiment.output_interval)
        # Where each recorded value is in a row of FMPy's recorder.
        positions = {column[0]: position for position, column in enumerate(self.recorder.cols)}
        elements = element_names(model_description)
        self.picks = [(0, ())] + [(positions[elements[name][0].name], elements[name][1])
                                  for name in experiment.recorded]
        self.variable_steps = \
            model_description.coSimulation.canHandleVariableCommunicationStepSize
        default = model_description.defaultExperiment
        self.tolerance = float(default.tolerance) \
            if default is not None and default.tolerance is not None else None

    @contextlib.contextmanager
    def refusals(self):
        from fmpy.fmi1 import FMICallException

        try:
            yield
        except FMICallException as error:
            raise refusal(error) from None

    def sample(self):
        """The values recorded now: the time, then every input and output."""
        with self.refusals():
            self.recorder.sample(self.time, force=True)
        row = self.recorder.rows.pop()
        return [row[position][index] if index else row[position]
                for position, index in self.picks]

    def initialise(self, start_values):
        """Sets the start values and initialises the unit at the start time;
        returns the first row."""
        from fmpy.simulation import (
            apply_start_values,
            settable_in_initialization_mode,
            settable_in_instantiated,
        )

        fmu, description = self.fmu, self.model_description
        values = fmpy_start_values(description, start_values)
        with self.refusals():
            values = apply_start_values(fmu, description, values,
                                        settable=settable_in_instantiated)
            fmu.enterInitializationMode(tolerance=self.tolerance, startTime=self.time,
                                        stopTime=self.experiment.stop_time)
            values = apply_start_values(fmu, description, values,
                                        settable=settable_in_initialization_mode)
            self.input.apply(self.time)
            fmu.exitInitializationMode()
        if values:
            raise ValueError("The start values for the following variables could not be "
                             "set: " + ", ".join(values))
        return self.sample()

    def restore(self, state, model_time, steps):
        """Puts the unit in a serialised state of a run at model_time, having
        passed steps regular communication points."""
        with self.refusals():
            restored = self.fmu.deserializeFMUState(state)
            try:
                self.fmu.setFMUState(restored)
            finally:
                self.fmu.freeFMUState(restored)
        self.time = model_time
        self.steps = steps

    def state(self):
        """The unit's state, serialised."""
        with self.refusals():
            kept = self.fmu.getFMUState()
            try:
                return self.fmu.serializeFMUState(kept)
            finally:
                self.fmu.freeFMUState(kept)

    def step(self):
        """One communication step; returns the row recorded after it, or
        None once the run has ended."""
        experiment = self.experiment
        now, stop = self.time, experiment.stop_time
        if self.terminated or now > stop or isclose(now, stop):
            return None
        regular = experiment.start_time + (self.steps + 1) * experiment.output_interval
        point = regular
        event = self.input.nextEvent(now)
        if self.variable_steps and point > event and not isclose(point, event):
            point = event
        if point > stop and not isclose(point, stop):
            if not self.variable_steps:
                return None
            point = stop
        with self.refusals():
            self.input.apply(now, continuous=True, discrete=True, after_event=True)
            _, terminate, early_return, _ = self.fmu.doStep(currentCommunicationPoint=now,
                                                            communicationStepSize=point - now)
        if early_return:
            raise RuntimeError("the unit returned early from a step, which this run does "
                               "not allow")
        self.time = point
        row = self.sample()
        if terminate:
            self.terminated = True
        elif isclose(point, regular):
            self.steps += 1
        return row

    def close(self):
        collect_messages(False)
        if self.fmu is not None:
            with contextlib.suppress(Exception):
                self.fmu.terminate()
            self.fmu.freeInstance()
