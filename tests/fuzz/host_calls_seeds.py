#!/usr/bin/env python3
"""Writes the seed corpus of the host-call fuzzer: one file per host story,
encoded the way host_calls_fuzzer.cpp decodes its input.

    tests/fuzz/host_calls_seeds.py tests/fuzz/corpus/host_calls
"""
import re
import struct
import sys
from pathlib import Path

# Value references by name, from the variable table that the model
# description is generated from.
TABLE = Path(__file__).resolve().parents[2] / "src" / "runtime" / "model_variables.h"
REFERENCES = {name: int(vr) for vr, name in
              re.findall(r'^\s*\{(\d+), "([^"]+)"', TABLE.read_text(), re.MULTILINE)}
VALUE_COUNT = len(REFERENCES)
# The fuzzer reads bytes below this as value references as they stand.
FIRST_BYTE_BEYOND = 247
assert VALUE_COUNT == FIRST_BYTE_BEYOND, "the model data changed size: review the encoding"


def vr(name):
    return REFERENCES[name]


# Indexes into the fuzzer's value table.
V = {"0": 0, "-0": 1, "1": 2, "-0.5": 3, "0.5": 4, "0.2": 5, "2": 6, "1e-6": 7, "nan": 8,
     "-nan": 9, "inf": 10, "-inf": 11, "max": 12, "-max": 13, "denorm": 14, "min": 15,
     "1e300": 16, "-1e300": 17, "3e10": 18, "-3e10": 19, "2^31-0.5": 20, "-2^31-0.5": 21,
     "2^31": 22, "-2^31-1": 23, "100": 24, "-7": 25}
# Indexes into the step-size table.
STEP = {"1e-6": 0, "5e-7": 1, "1e-7": 2, "2.5e-6": 3, "1e-5": 4, "3e-5": 5, "1e-4": 6, "0": 7,
        "-0": 8, "-1e-6": 9, "-1e-3": 10, "-1": 11, "nan": 12, "inf": 13, "-inf": 14,
        "max": 15, "-max": 16, "denorm": 17, "1e-300": 18}


def value(name):
    if isinstance(name, float):
        return bytes([255]) + struct.pack("<d", name)
    return bytes([V[name]])


def text(s):
    data = s.encode()
    assert len(data) < 32
    return bytes([len(data)]) + data


def instantiate(slot, callbacks=0, name="unit", guid=0, location=0, kind=0, guid_text="",
                location_text=""):
    """callbacks: 0 complete, 2 with stepFinished, 3 no logger, 4 no allocate, 5 no free,
    6 null record; name: "unit", any other text, "" (empty) or None; guid: 0 exact,
    3 "{", 4 one character more, 5 upper case, 6 guid_text, 7 null; location: 0 good,
    1 escapes, 2 location_text, 3 empty, 4 null; kind: 0 co-simulation, 4 model exchange,
    5 the value 2, 6 -1, 7 the smallest int."""
    if name == "unit":
        name_bits, extra = 0, b""
    elif name == "":
        name_bits, extra = 2, b""
    elif name is None:
        name_bits, extra = 3, b""
    else:
        name_bits, extra = 1, text(name)
    out = bytes([0, slot, callbacks | (name_bits << 3)]) + extra + bytes([guid])
    if guid == 6:
        out += text(guid_text)
    out += bytes([location])
    if location == 2:
        out += text(location_text)
    return out + bytes([kind])


def free(slot):
    return bytes([1, slot])


def setup(slot, start="0", stop_defined=0, stop="0"):
    return bytes([2, slot, 0]) + value("0") + value(start) + bytes([stop_defined + 1]) + value(stop)


def enter(slot):
    return bytes([3, slot, 0])


def exit_init(slot):
    return bytes([3, slot, 1])


def reset(slot):
    return bytes([3, slot, 2])


def terminate(slot):
    return bytes([3, slot, 3])


def step(slot, size="1e-5", point=0, point_value=None):
    """point: 0 the model's clock, 3 zero, 4 point_value, 5 just behind, 6 -max, 7 NaN."""
    out = bytes([4, slot, point, STEP[size]])
    if point == 4:
        out += value(point_value)
    return out + bytes([0])


def get(slot, vrs, kind=0, nulls=0):
    """kind: 0 real, 1 integer, 2 boolean; nulls: 1 null references, 2 null values."""
    out = bytes([6, kind, slot, len(vrs), nulls])
    for reference in vrs:
        out += vr_bytes(reference)
    return out


def vr_bytes(reference):
    if reference < FIRST_BYTE_BEYOND:
        return bytes([reference])
    beyond = [VALUE_COUNT, VALUE_COUNT + 1, 256, 1000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
              0xFFFFFFFF]
    if reference in beyond:
        return bytes([FIRST_BYTE_BEYOND + beyond.index(reference)])
    return bytes([255]) + struct.pack("<I", reference)


def set_real(slot, pairs, nulls=0):
    out = bytes([7, 0, slot, len(pairs), nulls])
    for reference, _ in pairs:
        out += vr_bytes(reference)
    for _, v in pairs:
        out += value(v)
    return out


def set_integer(slot, pairs, boolean=False):
    integers = [0, 1, -1, 5, -7, 2147483647, -2147483648, 1000]
    out = bytes([7, 2 if boolean else 1, slot, len(pairs), 0])
    for reference, _ in pairs:
        out += vr_bytes(reference)
    for _, v in pairs:
        out += bytes([integers.index(v)])
    return out


def states(slot, count=20, null=False):
    counts = [20, 20, 19, 21, 0, 1, VALUE_COUNT]
    return bytes([9, slot, counts.index(count), 0 if null else 1])


def handle(h, null_pointer=False):
    return h if null_pointer else h + 4


def get_state(slot, h, null_pointer=False):
    return bytes([10, slot, handle(h, null_pointer)])


def set_state(slot, h, null_state=False):
    return bytes([11, slot, handle(h, null_state)])


def free_state(slot, h, null_pointer=False):
    return bytes([12, slot, handle(h, null_pointer)])


def fixed(slot, which, kind=0):
    return bytes([13, slot, which | (kind << 4)])


def fail_allocation(n):
    return bytes([14, n - 1])


def fail_all(on):
    return bytes([14, 16 if on else 17])


def started(slot, name="unit"):
    return instantiate(slot, name=name) + setup(slot) + enter(slot) + exit_init(slot)


# The default workload: inputs channelA.input = 1.0, channelB.input = -0.5.
INPUT_A = vr("channelA.input")
INPUT_B = vr("channelB.input")
WORKLOAD = [(INPUT_A, "1"), (INPUT_B, "-0.5")]
PI = vr("pi")
CAPACITY = vr("level.capacity")
FIRST_VARIABLE = vr("level.driveFactor")
FIRST_STATE = vr("level.integral[0]")
BEYOND = VALUE_COUNT  # the first reference past the model data

SEEDS = {
    "default-workload":
        instantiate(0) + setup(0) + enter(0) + set_real(0, WORKLOAD) + exit_init(0)
        + step(0) * 10 + get(0, [FIRST_VARIABLE, INPUT_A, INPUT_B, FIRST_STATE, vr("spare")])
        + states(0) + terminate(0) + free(0),
    "snapshot-repeat-step":
        started(0) + set_real(0, WORKLOAD) + step(0, "3e-5") + get_state(0, 0) + step(0, "3e-5")
        + set_state(0, 0) + step(0, "3e-5") + get_state(0, 0) + free_state(0, 0) + reset(0)
        + setup(0) + exit_init(0) + step(0) + terminate(0) + free(0),
    "snapshot-parameter-change":
        started(0) + set_real(0, [(vr("level.driveFactorAtZero"), "0.5")]) + get_state(0, 1)
        + step(0, "1e-5")
        + set_state(0, 1) + step(0, "1e-5") + free_state(0, 1) + free(0),
    "three-instances-cross-restore":
        started(0, "first") + started(1, "second") + started(2, "third")
        + set_real(1, WORKLOAD) + step(0) + step(1) + step(2) + get_state(1, 0) + free(1)
        + set_state(0, 0) + set_state(2, 0) + step(2) + get_state(2, 0) + get_state(0, 3)
        + free_state(2, 0) + free(0) + set_state(2, 3) + free(2),
    "snapshot-outlives-all-instances":
        started(0) + step(0) + get_state(0, 0) + get_state(0, 1) + free(0),
    "snapshot-null-arguments":
        started(0) + get_state(0, 0, null_pointer=True) + set_state(0, 0, null_state=True)
        + free_state(0, 0, null_pointer=True) + free_state(0, 2) + get_state(1, 0)
        + set_state(1, 0) + get_state(0, 0) + free_state(1, 0) + free_state(0, 0) + free(0),
    "bad-instantiation":
        instantiate(0, callbacks=6) + instantiate(0, callbacks=3) + instantiate(0, name="")
        + instantiate(0, name=None) + instantiate(0, callbacks=4) + instantiate(0, callbacks=5)
        + instantiate(0, guid=7) + instantiate(0, guid=6, guid_text="") + instantiate(0, guid=3)
        + instantiate(0, guid=4) + instantiate(0, guid=5) + instantiate(0, kind=4)
        + instantiate(0, kind=5) + instantiate(0, kind=6) + instantiate(0, kind=7)
        + instantiate(0, location=3) + instantiate(1, location=4)
        + instantiate(2, callbacks=2, name="other", location=2, location_text="file:///x%00/%")
        + free(0) + free(1) + free(2),
    "null-instance-everywhere":
        setup(1) + enter(1) + exit_init(1) + reset(1) + terminate(1) + step(1) + get(1, [CAPACITY])
        + set_real(1, [(CAPACITY, "1")]) + states(1) + get_state(1, 0) + set_state(1, 0)
        + free_state(1, 0) + b"".join(fixed(1, k) for k in range(16)) + free(1),
    "bad-references-and-arrays":
        started(0) + get(0, [BEYOND]) + get(0, [0xFFFFFFFF], kind=1)
        + get(0, [vr("level.driveFactorAtZero"), 1000], kind=2)
        + set_real(0, [(PI, "1"), (BEYOND, "2")]) + set_real(0, [(CAPACITY, "2")], nulls=1)
        + set_real(0, [(CAPACITY, "2")], nulls=2) + get(0, [CAPACITY], nulls=1)
        + get(0, [CAPACITY], nulls=2)
        + get(0, [], nulls=1) + set_integer(0, [(0x80000000, 5)]) + states(0, 19) + states(0, 21)
        + states(0, 0) + states(0, null=True) + free(0),
    "non-finite-values-and-steps":
        started(0)
        + set_real(0, [(INPUT_A, "nan"), (INPUT_B, "inf"), (CAPACITY, "-inf"),
                       (FIRST_STATE, "max")])
        + step(0, "1e-5")
        + set_real(0, [(FIRST_VARIABLE, "1e300"), (vr("pattern.rateFactor"), "denorm"),
                       (vr("level.constantRate"), "-0")])
        + step(0, "nan") + step(0, "inf") + step(0, "-inf") + step(0, "max") + step(0, "-max")
        + step(0, "1e-5", point=7) + step(0, "1e-5", point=4, point_value="inf")
        + step(0, "0") + step(0, "-0") + step(0, "-1e-3") + step(0, "1e-300") + step(0, "denorm")
        + get(0, [INPUT_A, INPUT_B, CAPACITY, FIRST_STATE], kind=1)
        + get(0, [INPUT_A, INPUT_B], kind=2)
        + set_integer(0, [(vr("parameters[9]"), -2147483648), (vr("parameters[10]"), 2147483647)])
        + set_integer(0, [(vr("parameters[11]"), 5)], True)
        + free(0),
    "stop-time":
        instantiate(0) + setup(0, stop_defined=1, stop=5e-5) + exit_init(0) + step(0, "3e-5")
        + step(0, "3e-5") + step(0, "1e-6") + setup(0, stop_defined=0) + step(0, "1e-6")
        + reset(0) + setup(0, stop_defined=1, stop="-inf") + step(0)
        + setup(0, stop_defined=2, stop="0") + step(0) + free(0),
    # A NaN stop time is refused; the steps keep to their ends.
    "stop-time-nan":
        instantiate(0) + setup(0, stop_defined=1, stop="nan") + exit_init(0)
        + step(0, "2.5e-6") + step(0, "1e-7") + free(0),
    "allocation-failures":
        fail_allocation(1) + instantiate(0) + fail_allocation(2) + instantiate(0)
        + fail_allocation(3) + instantiate(0) + free(0) + started(0) + fail_allocation(1)
        + get_state(0, 0) + get_state(0, 0) + fail_all(True) + get_state(0, 1) + instantiate(1)
        + fail_all(False) + free_state(0, 0) + free(0),
    "fixed-results":
        started(0) + b"".join(fixed(0, k, k % 4) for k in range(16)) + free(0),
}


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent / "corpus" / "host_calls")
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in SEEDS.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
