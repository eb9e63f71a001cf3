"""One run of Tarvo_Unit.fmu under FMPy: the same calls for a single run and
for every case of a study, so that both give the same bits.

Both archives' units are run, the FMI 2.0 one and the FMI 3.0 one. Values
are named as the FMI 2.0 description names them: an element of an FMI 3.0
array by its subscripts (channelA.out[3], rotation.matrix[0,1]), so that
start values, the columns of results.csv and a study's outputs are the same
for both.

This module is the code of a case on the workers of a study's cluster: it
imports only the standard library, NumPy, FMPy and, on a worker, Dask.
"""

import contextlib
import io
import math
import os
import shutil
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

# The names of the FMI 2.0 statuses, for messages.
STATUS_NAMES = ["ok", "warning", "discard", "error", "fatal", "pending"]


@dataclass(frozen=True)
class Experiment:
    """What every run of a single run or a study shares."""
    start_time: float
    stop_time: float
    output_interval: float
    start_values: dict          # NAME=VALUE given on the command line
    input_profile: object       # structured array of the driven inputs, or None
    inputs: list = field(default_factory=list)
    outputs: list = field(default_factory=list)

    @property
    def recorded(self):
        return self.inputs + self.outputs


class UnitRefusal(Exception):
    """An FMI call of the unit ended with a status above fmi2Warning."""

    def __init__(self, function, status, messages):
        label = STATUS_NAMES[status] if 0 <= status < len(STATUS_NAMES) else "unknown"
        text = f"{function} returned {status} ({label})"
        if messages:
            text += ": " + "; ".join(messages)
        super().__init__(text)
        self.status = status


# The unit's log messages of the run going on in this thread, if it collects them.
_collecting = threading.local()
_callbacks = None


def collect_messages(collect=True):
    """Keeps the unit's messages from now on in this thread, for the message
    of a refusal (or, with False, lets FMPy print them again)."""
    _collecting.messages = [] if collect else None


def refusal(error):
    """The UnitRefusal of an FMPy FMICallException, with the messages kept."""
    return UnitRefusal(error.function, error.status, getattr(_collecting, "messages", None))


def _collected(message):
    """Whether the run going on in this thread collects the unit's messages;
    if so, the message is among them."""
    messages = getattr(_collecting, "messages", None)
    if messages is not None:
        messages.append(message.decode("utf-8", "replace").strip())
    return messages is not None


def _log(environment, instance_name, status, category, message):
    if not _collected(message):
        from fmpy.fmi2 import printLogMessage
        printLogMessage(environment, instance_name, status, category, message)


def _log3(environment, status, category, message):
    if not _collected(message):
        from fmpy.fmi3 import printLogMessage
        printLogMessage(environment, status, category, message)


def unit_callbacks():
    """The host callbacks of every instance made here, made once per process.
    FMPy's native proxy, which formats the unit's printf-style messages,
    keeps the last logger given to it in one global: a logger freed with its
    instance would be called by every later instance of the process. This one
    lives as long as the process, and hands messages that no run here
    collects to FMPy's own printing logger."""
    global _callbacks
    if _callbacks is None:
        from ctypes import byref

        from fmpy.fmi1 import calloc, free
        from fmpy.fmi2 import (
            fmi2CallbackAllocateMemoryTYPE,
            fmi2CallbackFreeMemoryTYPE,
            fmi2CallbackFunctions,
            fmi2CallbackLoggerTYPE,
        )
        from fmpy.logging import addLoggerProxy

        callbacks = fmi2CallbackFunctions()
        callbacks.logger = fmi2CallbackLoggerTYPE(_log)
        callbacks.allocateMemory = fmi2CallbackAllocateMemoryTYPE(calloc)
        callbacks.freeMemory = fmi2CallbackFreeMemoryTYPE(free)
        addLoggerProxy(byref(callbacks))
        _callbacks = callbacks
    return _callbacks


def is_fmi3(model_description):
    return model_description.fmiVersion.startswith("3.")


def instantiate(unpacked_dir, model_description):
    """A fresh instance of the unit whose messages go to the run going on in
    this thread, if it collects them."""
    identifier = model_description.coSimulation.modelIdentifier
    if is_fmi3(model_description):
        from fmpy.fmi3 import FMU3Slave

        instance = FMU3Slave(guid=model_description.guid, unzipDirectory=str(unpacked_dir),
                             modelIdentifier=identifier)
        instance.instantiate(logMessage=_log3)
        return instance
    from fmpy.fmi2 import FMU2Slave

    instance = FMU2Slave(guid=model_description.guid, unzipDirectory=str(unpacked_dir),
                         modelIdentifier=identifier)
    instance.instantiate(callbacks=unit_callbacks())
    return instance


def element_names(model_description):
    """{name of a value: (its variable, its subscripts)}, in the order of the
    description, an array's elements row by row; a scalar's subscripts are ()."""
    import itertools

    names = {}
    for variable in model_description.modelVariables:
        shape = tuple(variable.shape or ())
        if not shape:
            names[variable.name] = (variable, ())
            continue
        for index in itertools.product(*(range(extent) for extent in shape)):
            names[f"{variable.name}[{','.join(map(str, index))}]"] = (variable, index)
    return names


def recorded_variables(model_description, names):
    """The variables FMPy records for these values, each once."""
    elements = element_names(model_description)
    return list(dict.fromkeys(elements[name][0].name for name in names))


def fmpy_start_values(model_description, start_values):
    """Start values as FMPy sets them: an element of an array sets the whole
    array, its other elements at their start values."""
    elements = element_names(model_description)
    values = {}
    for name, value in start_values.items():
        variable, index = elements[name]
        if not index:
            values[variable.name] = value
            continue
        array = values.setdefault(variable.name,
                                  [float(text) for text in variable.start.split()])
        flat = 0
        for subscript, extent in zip(index, variable.shape, strict=True):
            flat = flat * extent + subscript
        array[flat] = value
    return values


def flattened(result, model_description, names):
    """The result with a column for each value named, arrays in elements."""
    import numpy as np

    elements = element_names(model_description)
    flat = np.empty(len(result), dtype=[(name, np.float64) for name in ["time", *names]])
    flat["time"] = result["time"]
    for name in names:
        variable, index = elements[name]
        flat[name] = result[variable.name][(slice(None), *index)]
    return flat


def simulate_unit(unpacked_dir, model_description, experiment, start_values,
                  step_finished=None):
    """Runs the experiment on a fresh instance with these start values; returns
    the recorded inputs and outputs at every communication point."""
    import fmpy
    from fmpy.fmi1 import FMICallException

    instance = instantiate(unpacked_dir, model_description)
    collect_messages()
    try:
        # FMPy prints a warning for every input left out of the profile:
        # those are the inputs held at a value on purpose.
        with contextlib.redirect_stdout(io.StringIO()):
            result = fmpy.simulate_fmu(
                str(unpacked_dir), model_description=model_description, fmu_instance=instance,
                start_time=experiment.start_time, stop_time=experiment.stop_time,
                output_interval=experiment.output_interval,
                start_values=fmpy_start_values(model_description, start_values),
                input=experiment.input_profile,
                output=recorded_variables(model_description, experiment.recorded),
                step_finished=step_finished)
    except FMICallException as error:
        raise refusal(error) from None
    finally:
        collect_messages(False)
        instance.freeInstance()
    if is_fmi3(model_description):
        return flattened(result, model_description, experiment.recorded)
    return result


@dataclass
class CaseResult:
    """What a case sends back: its final outputs, or why it has none."""
    status: str                 # "ok" or "error"
    message: str
    final: list                 # final value of every output, empty on error
    wall_s: float               # wall time of the run itself
    series: object = None       # the recorded time series, when kept


def final_outputs(result, outputs):
    """The last recorded value of every output, and the names that are NaN."""
    last = result[-1]
    final = [float(last[name]) for name in outputs]
    not_numbers = [name for name, value in zip(outputs, final, strict=True) if math.isnan(value)]
    return final, not_numbers


def run_prepared(unpacked_dir, model_description, experiment, values, keep_series):
    """One case on an unpacked archive: refusals become an error result."""
    import numpy as np

    start_values = dict(experiment.start_values)
    start_values.update(values)
    began = time.perf_counter()
    try:
        result = simulate_unit(unpacked_dir, model_description, experiment, start_values)
    except UnitRefusal as refusal:
        return CaseResult("error", str(refusal), [], time.perf_counter() - began)
    wall = time.perf_counter() - began
    final, not_numbers = final_outputs(result, experiment.outputs)
    if not_numbers:
        listed = ", ".join(not_numbers[:3]) + (", ..." if len(not_numbers) > 3 else "")
        return CaseResult("error", f"{len(not_numbers)} outputs end as not a number "
                          f"({listed})", [], wall)
    # A plain array: FMPy's result type carries the whole model description.
    series = result.view(np.ndarray) if keep_series else None
    return CaseResult("ok", "", final, wall, series)


# Archives unpacked by this worker process, by file name (which holds the
# content hash): the folder and the model description read from it.
_prepared = {}


def prepared_archive(archive_path):
    """Unpacks an archive once per process, beside it; later calls reuse it."""
    import fmpy

    archive_path = Path(archive_path)
    entry = _prepared.get(archive_path.name)
    if entry is None:
        target = archive_path.with_suffix("")
        if not target.is_dir():
            staging = Path(tempfile.mkdtemp(prefix=".unpacking-", dir=archive_path.parent))
            try:
                fmpy.extract(str(archive_path), str(staging))
                os.replace(staging, target)
            except OSError:
                if not target.is_dir():
                    raise
            finally:
                shutil.rmtree(staging, ignore_errors=True)
        entry = (target, fmpy.read_model_description(str(target)))
        _prepared[archive_path.name] = entry
    return entry


def run_case(archive_name, experiment, values, keep_series):
    """A study's task on a Dask worker: the archive was uploaded into the
    worker's folder under archive_name before any case runs."""
    from distributed import get_worker

    archive_path = Path(get_worker().local_directory) / archive_name
    unpacked_dir, model_description = prepared_archive(archive_path)
    return run_prepared(unpacked_dir, model_description, experiment, values, keep_series)
