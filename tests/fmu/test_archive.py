"""The archive as a host receives it: valid, portable, and describing the unit
truthfully (start values, and what fixed and tunable promise)."""

import re
import shutil
import subprocess
import sys
import zipfile

import fmpy
import pefile
import pytest
from conftest import REPOSITORY, VALUE_COUNT, SlaveHost, archives, binary_of, skip_or_fail
from fmpy.validation import validate_fmu


def test_validation_reports_no_problem(fmu_path):
    assert validate_fmu(str(fmu_path)) == []


def test_archive_is_portable(fmu_path, unpacked, model_description):
    with zipfile.ZipFile(fmu_path) as archive:
        entries = archive.namelist()
    for entry in entries:
        assert not entry.startswith("/") and ".." not in entry.split("/"), entry
    for required in ("modelDescription.xml", "binaries/linux64/Tarvo_Unit.so",
                     "binaries/win64/Tarvo_Unit.dll",
                     "sources/CMakeLists.txt", "documentation/index.html",
                     "documentation/default_experiment.png"):
        assert required in entries
    sources = [source for configuration in model_description.buildConfigurations
               for file_set in configuration.sourceFileSets for source in file_set.sourceFiles]
    assert sources
    for source in sources:
        assert f"sources/{source}" in entries

    readelf = shutil.which("readelf")
    if readelf is None:
        pytest.skip("readelf (binutils) is not installed")
    dynamic = subprocess.run([readelf, "-d", str(binary_of(unpacked))], check=True,
                             capture_output=True, text=True).stdout
    needed = sorted(line.split("[")[1].rstrip("]") for line in dynamic.splitlines()
                    if "(NEEDED)" in line)
    assert needed == ["libc.so.6", "libm.so.6"]
    assert "RPATH" not in dynamic and "RUNPATH" not in dynamic


# x87 instructions that compute what the C runtime's cos, sin and pow must:
# MinGW's own libraries use them, and they round otherwise.
X87_TRANSCENDENTALS = re.compile(r"\s(fsin|fcos|fsincos|fptan|fpatan|fyl2x|fyl2xp1|f2xm1)\b")


@pytest.mark.parametrize("variant,archive", archives(), ids=[v for v, _ in archives()])
def test_win64_dll_exports_the_unit_and_imports_only_the_c_runtime(variant, archive, tmp_path):
    with zipfile.ZipFile(archive) as files:
        if "binaries/win64/Tarvo_Unit.dll" not in files.namelist():
            skip_or_fail(f"{archive.name} has no win64 DLL (no MinGW-w64 in this build)")
        dll = tmp_path / "Tarvo_Unit.dll"
        dll.write_bytes(files.read("binaries/win64/Tarvo_Unit.dll"))
    pe = pefile.PE(str(dll))
    assert pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]
    # No entry point and no TLS callbacks: nothing runs at load or unload.
    assert pe.OPTIONAL_HEADER.AddressOfEntryPoint == 0
    assert not hasattr(pe, "DIRECTORY_ENTRY_TLS")

    fmi_api = (REPOSITORY / "tools" / "host" / "fmi_api.h").read_text()
    expected = set(re.findall(r"X\((fmi2\w+)\)", fmi_api))
    assert len(expected) == 35
    exports = [symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols]
    assert sorted(exports) == sorted(expected)

    imports = {entry.dll.decode().lower(): {i.name.decode() for i in entry.imports}
               for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert "msvcrt.dll" in imports
    assert set(imports) <= {"msvcrt.dll", "kernel32.dll"}, sorted(imports)
    runtime = imports["msvcrt.dll"]
    assert "pow" in runtime
    if variant == "default":
        assert {"cos", "sin"} <= runtime  # each on its own from the C runtime
    else:
        assert not {"cos", "sin"} & runtime  # the unit's own

    objdump = shutil.which("x86_64-w64-mingw32-objdump")
    if objdump is None:
        skip_or_fail("x86_64-w64-mingw32-objdump (MinGW-w64 binutils) is not installed")
    code = subprocess.run([objdump, "-d", str(dll)], check=True, capture_output=True,
                          text=True).stdout
    assert not X87_TRANSCENDENTALS.findall(code)


def test_fmpy_lists_both_platforms(fmu_path):
    info = subprocess.run([sys.executable, "-m", "fmpy", "info", str(fmu_path)],
                          check=True, capture_output=True, text=True).stdout
    platforms = next(line for line in info.splitlines() if line.strip().startswith("Platforms"))
    assert platforms.split()[1:] == ["linux64,", "win64"]
    assert fmpy.supported_platforms(str(fmu_path)) == ["linux64", "win64"]


def test_declared_start_values_are_what_the_unit_loads(unpacked, model_description):
    host = SlaveHost(unpacked, model_description)
    host.slave.instantiate()
    host.slave.setupExperiment(startTime=0.0)
    loaded = host.all_values()
    host.slave.freeInstance()

    ordered = sorted(model_description.modelVariables, key=lambda v: v.valueReference)
    assert [v.valueReference for v in ordered] == list(range(VALUE_COUNT))
    declared = {v.valueReference: float(v.start) for v in ordered if v.start is not None}
    # The constant, the 47 parameters, the 20 initial values and the 2 inputs.
    with_start = [v.valueReference for v in ordered
                  if v.variability == "constant" or v.causality in ("parameter", "input")]
    assert sorted(declared) == with_start and len(with_start) == 1 + 47 + 20 + 2
    for reference, start in declared.items():
        if ordered[reference].causality != "input":  # zero until the host writes them
            assert float.hex(start) == loaded[reference], ordered[reference].name


# Each tunable parameter must change the run when written between steps, in
# at least one of these regimes (some act only at a limit or an empty level).
# The regime is reached by running for `settle` steps before the snapshot.
REGIMES = {
    "channel A high, B low": {"inputs": (5.0, -5.0), "capacity": None, "settle": 0},
    "channel A low, B high": {"inputs": (-5.0, 5.0), "capacity": None, "settle": 0},
    "level drained": {"inputs": (1.0, 0.5), "capacity": 0.008, "settle": 10},
}
STEP = 2e-4


def take_steps(host, first, count):
    for k in range(first, first + count):
        host.slave.doStep(currentCommunicationPoint=k * STEP, communicationStepSize=STEP)


def run_from_snapshot(host, state, settle, written=None):
    """Restores the snapshot, optionally writes one value, takes three steps
    and returns all values."""
    host.slave.setFMUstate(state)
    if written is not None:
        host.slave.setReal([written[0]], [written[1]])
    take_steps(host, settle, 3)
    return host.all_values()


def changed_value(start):
    return start * 1.5 + 0.25


def test_fixed_and_tunable_keep_their_promise(unpacked, model_description, references):
    """Writing a fixed parameter after initialisation changes nothing but
    itself; writing a tunable one changes the run."""
    parameters = [v for v in model_description.modelVariables if v.causality == "parameter"]
    silent_tunables = {v.valueReference for v in parameters if v.variability == "tunable"}
    host = SlaveHost(unpacked, model_description)
    host.slave.instantiate()
    for regime in REGIMES.values():
        host.slave.reset()  # back to the clock and data of a new instance
        host.slave.setupExperiment(startTime=0.0)
        if regime["capacity"] is not None:
            host.slave.setReal([references["level.capacity"]], [regime["capacity"]])
        host.slave.enterInitializationMode()
        host.slave.setReal([references["channelA.input"], references["channelB.input"]],
                           list(regime["inputs"]))
        host.slave.exitInitializationMode()
        take_steps(host, 0, regime["settle"])
        state = host.slave.getFMUstate()
        baseline = run_from_snapshot(host, state, regime["settle"])
        for parameter in parameters:
            reference = parameter.valueReference
            value = changed_value(float(parameter.start))
            values = run_from_snapshot(host, state, regime["settle"], (reference, value))
            pairs = enumerate(zip(values, baseline, strict=True))
            others_differ = any(a != b for k, (a, b) in pairs if k != reference)
            if parameter.variability == "fixed":
                assert not others_differ, f"fixed {parameter.name} changed the run"
            elif others_differ:
                silent_tunables.discard(reference)
        host.slave.freeFMUstate(state)
    host.slave.freeInstance()
    names = {v.valueReference: v.name for v in parameters}
    assert not silent_tunables, [names[r] for r in sorted(silent_tunables)]


def test_portable_archive_is_the_same_unit_on_its_own_cos_and_sin(fmu_path):
    portable = fmu_path.with_name("Tarvo_Unit-portable.fmu")
    if not portable.is_file():
        pytest.fail(f"{portable} is missing: build the target fmu-portable first")
    assert validate_fmu(str(portable)) == []
    choice = "sources/trig/cos_sin_choice.h"
    with zipfile.ZipFile(fmu_path) as default, zipfile.ZipFile(portable) as own:
        assert own.read("modelDescription.xml") == default.read("modelDescription.xml")
        assert sorted(own.namelist()) == sorted(default.namelist())
        # Whoever compiles the sources gets the archive's own cos and sin.
        assert b"#define TARVO_PORTABLE_COS_SIN 0" in default.read(choice)
        assert b"#define TARVO_PORTABLE_COS_SIN 1" in own.read(choice)
        assert b"This is the portable archive" in own.read("documentation/index.html")
