"""The FMI 3.0 archives as hosts receive them: no problem for FMPy's
validator nor a warning from the FMU Manipulation Toolbox; every FMI 2.0
value declared again under its own name, the arrays as arrays; binaries for
x86_64-linux, aarch64-linux and x86_64-windows that export exactly the
FMI 3.0 functions and need only the C library; and, simulated by FMPy on the
default experiment with the default input profile, the bits of the FMI 2.0
archive of the same cos and sin for every value at every communication
point, also once the binary is rebuilt from sources/ by fmpy compile or by
CMake alone."""

import csv
import functools
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

import fmpy
import numpy as np
import pefile
import pytest
from conftest import BUILD, REPOSITORY, skip_or_fail
from fmpy.validation import validate_fmu

TOOLBOX_BIN = Path(sys.executable).parent
WORKERS = 2  # the machine's cores
# Each FMI 3.0 archive, and the FMI 2.0 archive with the same cos and sin.
ARCHIVES = {
    "default": ("Tarvo_Unit-fmi3.fmu", "Tarvo_Unit.fmu"),
    "portable": ("Tarvo_Unit-fmi3-portable.fmu", "Tarvo_Unit-portable.fmu"),
}
LINUX_MACHINES = {"x86_64-linux": "Advanced Micro Devices X86-64", "aarch64-linux": "AArch64"}


def variants():
    """The default archive always, the portable one where the build made it."""
    return [variant for variant, (fmi3, _) in ARCHIVES.items()
            if variant == "default" or (BUILD / fmi3).is_file()]


def archive_of(variant, fmi_version=3):
    path = BUILD / ARCHIVES[variant][0 if fmi_version == 3 else 1]
    if not path.is_file():
        pytest.fail(f"{path} is missing: build the default target first")
    return path


def fmi3_functions():
    """The names the FMI 3.0 boundary declares for export."""
    header = (REPOSITORY / "src" / "fmi3" / "fmi3_functions.h").read_text()
    names = re.findall(r"^FMI3_Export fmi3\w+TYPE (fmi3\w+);", header, re.MULTILINE)
    assert len(names) == 75
    return sorted(names)


def default_inputs():
    """tools/simulate/default_inputs.csv as an FMPy input signal."""
    with open(REPOSITORY / "tools" / "simulate" / "default_inputs.csv", newline="") as file:
        rows = csv.reader(line for line in file if not line.startswith("#"))
        header = next(rows)
        values = [tuple(float(value) for value in row) for row in rows if row]
    return np.array(values, dtype=[(name, float) for name in header])


def values_by_name(description):
    """Every value an archive declares, by its FMI 2.0 name: {name: (variable,
    index of the element in the variable, row-major)}. Array elements are
    named as FMI 2.0 names them, rotation.matrix[0,1]."""
    values = {}
    for variable in description.modelVariables:
        if variable.causality == "independent":
            continue
        shape = [int(dimension.start) for dimension in variable.dimensions]
        if not shape:
            values[variable.name] = (variable, 0)
            continue
        for element, index in enumerate(np.ndindex(*shape)):
            values[f"{variable.name}[{','.join(map(str, index))}]"] = (variable, element)
    return values


@functools.cache
def default_experiment(path):
    """FMPy's run of the default experiment with the default inputs, every
    value read at every communication point: {FMI 2.0 name: bits of each
    point}, and the time."""
    description = fmpy.read_model_description(path)
    values = values_by_name(description)
    outputs = sorted({variable.name for variable, _ in values.values()})
    result = fmpy.simulate_fmu(path, input=default_inputs(), output=outputs)
    points = len(result)
    bits = {"time": result["time"].view(np.uint64)}
    for name, (variable, element) in values.items():
        column = result[variable.name].reshape(points, -1)[:, element]
        bits[name] = np.ascontiguousarray(column).view(np.uint64)
    return bits


def assert_same_bits(run, expected):
    assert run.keys() == expected.keys()
    differing = [name for name in expected if not np.array_equal(run[name], expected[name])]
    assert not differing, f"{len(differing)} values differ: {differing[:5]}"


@pytest.mark.parametrize("variant", variants())
def test_fmpy_and_the_toolbox_find_nothing_to_report(variant):
    archive = archive_of(variant)
    assert validate_fmu(str(archive)) == []
    completed = subprocess.run([str(TOOLBOX_BIN / "fmutool"), "-input", str(archive), "-check"],
                               capture_output=True, text=True, timeout=300)
    said = completed.stdout + completed.stderr
    assert completed.returncode == 0, said
    assert "This FMU seems to be compliant with FMI-3.0." in said, said
    assert "No semantic error against the FMI-3 standard." in said, said
    assert all(line.startswith("INFO ") for line in said.splitlines()), said


def test_every_fmi2_value_is_declared_again_under_its_name():
    """Scalars keep their value reference; an array has that of its first
    element and declares its elements' causality, variability, initial,
    start and description; time is the one value more."""
    fmi2 = fmpy.read_model_description(str(archive_of("default", 2)))
    fmi3 = fmpy.read_model_description(str(archive_of("default")))
    assert fmi3.instantiationToken == fmi2.guid
    declared = values_by_name(fmi3)
    assert sorted(declared) == sorted(v.name for v in fmi2.modelVariables)
    for old in fmi2.modelVariables:
        new, element = declared[old.name]
        assert (new.causality, new.variability, new.initial) == \
            (old.causality, old.variability, old.initial), old.name
        if element == 0:
            assert new.valueReference == old.valueReference, old.name
        if new.dimensions:
            assert f"{old.name[len(new.name):]} {old.description}" in new.description
        else:
            assert new.description == old.description
        if old.start is None:
            assert new.start is None, old.name
        else:
            assert new.start.split()[element] == old.start, old.name

    time = [v for v in fmi3.modelVariables if v.causality == "independent"]
    assert [(v.name, v.valueReference) for v in time] == [("time", len(fmi2.modelVariables))]


@pytest.mark.parametrize("variant", variants())
def test_default_experiment_gives_the_fmi2_bits(variant):
    run = default_experiment(str(archive_of(variant)))
    assert len(run["time"]) == 1001  # 0 to 1 in steps of 0.001
    assert_same_bits(run, default_experiment(str(archive_of(variant, 2))))


def elf_facts(library):
    """What a loader sees of a shared library: machine, needed libraries,
    search paths, exported functions and the newest glibc version needed."""
    def readelf(option):
        return subprocess.run(["readelf", option, "--wide", str(library)], check=True,
                              capture_output=True, text=True).stdout

    dynamic = readelf("--dynamic")
    symbols = [line.split() for line in readelf("--dyn-syms").splitlines()]
    glibc = re.findall(r"Name: GLIBC_(\d+)\.(\d+)", readelf("--version-info"))
    return {
        "machine": re.search(r"Machine:\s+(.+)", readelf("--file-header")).group(1).strip(),
        "needed": sorted(re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", dynamic)),
        "search path": "RPATH" in dynamic or "RUNPATH" in dynamic,
        "exported": sorted(fields[7] for fields in symbols
                           if len(fields) >= 8 and fields[4] == "GLOBAL" and fields[6] != "UND"),
        "glibc": max((int(major), int(minor)) for major, minor in glibc),
    }


@pytest.mark.parametrize("variant", variants())
def test_binaries_export_the_fmi3_functions_and_need_only_the_c_library(variant, tmp_path):
    if shutil.which("readelf") is None:
        pytest.skip("readelf (binutils) is not installed")
    with zipfile.ZipFile(archive_of(variant)) as archive:
        archive.extractall(tmp_path, [name for name in archive.namelist()
                                      if name.startswith("binaries/")])
    binaries = tmp_path / "binaries"
    for platform, machine in LINUX_MACHINES.items():
        library = binaries / platform / "Tarvo_Unit.so"
        if not library.is_file():
            skip_or_fail(f"no {platform} binary (no cross compiler in this build)")
        facts = elf_facts(library)
        assert facts.pop("glibc") <= (2, 17), platform  # the floor of linux64
        assert facts == {"machine": machine, "needed": ["libc.so.6", "libm.so.6"],
                         "search path": False, "exported": fmi3_functions()}, platform

    dll = binaries / "x86_64-windows" / "Tarvo_Unit.dll"
    if not dll.is_file():
        skip_or_fail("no x86_64-windows DLL (no MinGW-w64 in this build)")
    pe = pefile.PE(str(dll))
    assert pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]
    # No entry point and no TLS callbacks: nothing runs at load or unload.
    assert pe.OPTIONAL_HEADER.AddressOfEntryPoint == 0
    assert not hasattr(pe, "DIRECTORY_ENTRY_TLS")
    exports = sorted(symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols)
    assert exports == fmi3_functions()
    imports = {entry.dll.decode().lower(): {i.name.decode() for i in entry.imports}
               for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert list(imports) == ["msvcrt.dll"]
    # cos and sin each on their own from the C runtime, or the unit's own.
    assert ({"cos", "sin"} <= imports["msvcrt.dll"]) == (variant == "default")


@pytest.mark.parametrize("variant", variants())
def test_fmpy_compile_rebuilds_the_binary_with_the_same_bits(variant, tmp_path):
    archive = archive_of(variant)
    copy = tmp_path / archive.name
    shutil.copy(archive, copy)
    # Two compilations at a time; the flags stay FMPy's.
    environment = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL=str(WORKERS))
    compiled = subprocess.run([sys.executable, "-m", "fmpy", "compile", str(copy)],
                              capture_output=True, text=True, timeout=900, env=environment)
    assert compiled.returncode == 0, compiled.stdout[-3000:] + compiled.stderr[-3000:]
    shipped, rebuilt = (zipfile.ZipFile(path) for path in (archive, copy))
    with shipped, rebuilt:
        assert sorted(rebuilt.namelist()) == sorted(shipped.namelist())
        binary = "binaries/x86_64-linux/Tarvo_Unit.so"
        assert rebuilt.read(binary) != shipped.read(binary), "nothing was rebuilt"
    assert_same_bits(default_experiment(str(copy)), default_experiment(str(archive)))


@pytest.mark.parametrize("variant", variants())
def test_cmake_alone_rebuilds_the_binary_with_the_same_bits(variant, tmp_path):
    cmake = shutil.which("cmake")
    if cmake is None:
        pytest.fail("cmake is not installed")
    archive = archive_of(variant)
    unpacked = Path(fmpy.extract(str(archive), str(tmp_path / "unpacked")))
    build = tmp_path / "build"
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    # Nothing outside sources/; with the repository's own flags, warnings
    # stop the build.
    for command in ([cmake, "-S", str(unpacked / "sources"), "-B", str(build), *generator,
                     "-DTARVO_WARNINGS_AS_ERRORS=ON"],
                    [cmake, "--build", str(build), "-j", str(WORKERS)]):
        completed = subprocess.run(command, capture_output=True, text=True, timeout=900)
        assert completed.returncode == 0, completed.stdout[-3000:] + completed.stderr[-3000:]
    rebuilt = build / "Tarvo_Unit.so"
    assert elf_facts(rebuilt)["exported"] == fmi3_functions()
    shutil.copy(rebuilt, unpacked / "binaries" / "x86_64-linux" / "Tarvo_Unit.so")
    assert_same_bits(default_experiment(str(unpacked)), default_experiment(str(archive)))
