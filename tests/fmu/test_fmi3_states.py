"""The FMI 3.0 unit's states under FMPy, as a host drives them: states kept
in memory and as bytes continue a run to the same bits, and bytes that are
not a state of this model (truncated, a bit flipped, another version or
token, a wrong or absurd length) are refused with a message and change
nothing.

The unit is loaded from the build tree (src/fmi3/Tarvo_Unit.so), so these
run before and apart from the archives.
"""

import os
import struct
import zlib
from ctypes import POINTER, byref, c_uint8, cast, create_string_buffer
from pathlib import Path

import pytest
from fmpy.fmi1 import FMICallException
from fmpy.fmi3 import FMU3Slave, fmi3Boolean, fmi3Error, fmi3Float64

BUILD = Path(os.environ.get("TARVO_BUILD_DIR", Path(__file__).resolve().parents[2] / "build"))
LIBRARY = BUILD / "src" / "fmi3" / "Tarvo_Unit.so"
GUID = "{3f1c9a52-7b4e-4d08-a6c3-5e92b07d41af}"
INPUTS = [203, 204]  # channelA.input, channelB.input: scalars in both versions
TIME = 247
STATE_SIZE = 2092

# Offsets in the state's bytes.
VERSION_AT, LENGTH_AT, GUID_AT, CHECKSUM_AT = 8, 16, 24, STATE_SIZE - 4


@pytest.fixture(scope="module")
def unzipped(tmp_path_factory):
    if not LIBRARY.is_file():
        pytest.fail(f"{LIBRARY} is not built")
    root = tmp_path_factory.mktemp("fmi3")
    binaries = root / "binaries" / "x86_64-linux"
    binaries.mkdir(parents=True)
    (binaries / "Tarvo_Unit.so").symlink_to(LIBRARY)
    return root


class Unit:
    """One instance and the messages it sends."""

    def __init__(self, unzipped, name="unit"):
        self.messages = []
        self.fmu = FMU3Slave(guid=GUID, unzipDirectory=str(unzipped),
                             modelIdentifier="Tarvo_Unit", instanceName=name)
        self.fmu.instantiate(logMessage=self._log)

    def _log(self, environment, status, category, message):
        self.messages.append((status, message.decode()))

    def start(self, inputs=(1.0, -0.5), stop_time=None):
        self.fmu.enterInitializationMode(startTime=0.0, stopTime=stop_time)
        self.fmu.setFloat64(INPUTS, list(inputs))
        self.fmu.exitInitializationMode()

    def run(self, steps, step=1e-3):
        t = self.fmu.getFloat64([TIME])[0]
        for _ in range(steps):
            self.fmu.doStep(t, step)
            t += step

    def state_bytes(self):
        """Everything the model holds, every value's bits among it."""
        state = self.fmu.getFMUState()
        data = self.fmu.serializeFMUState(state)
        self.fmu.freeFMUState(state)
        return data

    def free(self):
        self.fmu.terminate()
        self.fmu.freeInstance()


def with_checksum(data):
    body = bytes(data[:CHECKSUM_AT])
    return body + struct.pack("<I", zlib.crc32(body))


def test_states_in_memory_and_as_bytes_continue_a_run_to_the_same_bits(unzipped):
    original = Unit(unzipped, "original")
    original.start()
    original.run(20)
    state = original.fmu.getFMUState()
    serialized = original.fmu.serializeFMUState(state)
    assert len(serialized) == STATE_SIZE
    original.run(30)
    expected = original.state_bytes()
    outputs = original.fmu.getFloat64(INPUTS + [TIME])

    # The bytes, restored into another instance, and the state in memory,
    # restored into the original, both run on to the same bits.
    other = Unit(unzipped, "other")
    other.start(inputs=(0.0, 0.0))
    restored = other.fmu.deserializeFMUState(serialized)
    other.fmu.setFMUState(restored)
    other.run(30)
    assert other.state_bytes() == expected
    assert other.fmu.getFloat64(INPUTS + [TIME]) == outputs
    original.fmu.setFMUState(state)
    original.run(30)
    assert original.state_bytes() == expected
    # The same state serialises to the same bytes.
    assert other.fmu.serializeFMUState(restored) == serialized
    other.fmu.freeFMUState(restored)
    original.fmu.freeFMUState(state)
    assert not original.messages and not other.messages
    original.free()
    other.free()


def refused(unit, data, size=None):
    """Deserialises data (as size bytes) into an existing state; returns the
    status and the messages, having checked that the state is unchanged."""
    state = unit.fmu.getFMUState()
    before = unit.fmu.serializeFMUState(state)
    unit.messages.clear()
    buffer = create_string_buffer(bytes(data), size=max(len(data), 1))
    try:
        unit.fmu.fmi3DeserializeFMUState(unit.fmu.component, cast(buffer, POINTER(c_uint8)),
                                         len(data) if size is None else size, byref(state))
        status = 0
    except FMICallException as exception:
        status = exception.status
    assert unit.fmu.serializeFMUState(state) == before, "a refused state changed the state"
    unit.fmu.freeFMUState(state)
    return status, list(unit.messages)


def test_bytes_that_are_no_state_of_this_model_are_refused_and_change_nothing(unzipped):
    unit = Unit(unzipped)
    unit.start()
    unit.run(5)
    state = unit.fmu.getFMUState()
    good = unit.fmu.serializeFMUState(state)
    unit.fmu.freeFMUState(state)

    cases = {
        "empty": b"",
        "truncated by one": good[:-1],
        "truncated to the header": good[:64],
        "one byte more": good + b"\0",
        "not a state": bytes(STATE_SIZE),
        "another version": with_checksum(good[:VERSION_AT] + struct.pack("<I", 2)
                                         + good[VERSION_AT + 4:]),
        "another token": with_checksum(good[:GUID_AT + 1] + b"4" + good[GUID_AT + 2:]),
        "a wrong length": with_checksum(good[:LENGTH_AT] + struct.pack("<Q", STATE_SIZE + 8)
                                        + good[LENGTH_AT + 8:]),
        "an absurd length": with_checksum(good[:LENGTH_AT] + struct.pack("<Q", 2**63)
                                          + good[LENGTH_AT + 8:]),
        "a bad flag": with_checksum(good[:96] + struct.pack("<i", 7) + good[100:]),
    }
    for name, data in cases.items():
        status, messages = refused(unit, data)
        assert status == fmi3Error, name
        assert len(messages) == 1 and messages[0][0] == fmi3Error, name
        assert messages[0][1].startswith("fmi3DeserializeFMUState: "), name

    # A size far beyond the bytes is refused before any of them is read.
    status, messages = refused(unit, good, size=2**62)
    assert status == fmi3Error and len(messages) == 1

    # Every single bit flipped anywhere is found.
    for bit in range(STATE_SIZE * 8):
        flipped = bytearray(good)
        flipped[bit // 8] ^= 1 << (bit % 8)
        status, _ = refused(unit, flipped)
        assert status == fmi3Error, f"bit {bit} flipped went unnoticed"
    unit.free()


def test_a_step_past_the_stop_time_stops_there_and_asks_to_terminate(unzipped):
    unit = Unit(unzipped)
    unit.start(stop_time=1e-3)
    flags = [fmi3Boolean(True) for _ in range(3)]
    last = fmi3Float64(-1.0)
    with pytest.raises(FMICallException) as raised:
        unit.fmu.fmi3DoStep(unit.fmu.component, 0.0, 2e-3, fmi3Boolean(False), byref(flags[0]),
                            byref(flags[1]), byref(flags[2]), byref(last))
    assert raised.value.status == 2  # fmi3Discard: the wrapper raises on it
    event, terminate, early = (f.value for f in flags)
    assert (event, terminate, early) == (False, True, False)
    assert last.value == 1e-3
    assert unit.messages == [(2, "Exceeded model finish time: 0.001 > 0.001")]
    unit.free()
