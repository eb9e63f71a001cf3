"""The archive's sources keep their bits under an importer's compiler and
flags. Each build compiles the source files the model description lists as
a host that compiles sources/ does, with its own flags and nothing of ours:
no -ffp-contract=off (contraction is GCC's default, and clang's within an
expression), so the sources themselves must forbid it. Every build must
contain no fused multiply-add, need no glibc newer than 2.17, and reproduce
every vector bit for bit: the default sources the set of the C library they
run on, the portable sources the correctly rounded set.

- fmpy: `fmpy compile`, FMPy's own CMake project and flags (Release);
- clang: Debian's clang at -O3;
- gcc-x86-64-v3: GCC at -O3 -march=x86-64-v3, where FMA is available;
- gcc-aarch64: Debian's aarch64 cross compiler at -O2, the vectors run by
  the cross-built trace tool under qemu-user against Debian's arm64 glibc.
"""

import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

import fmpy
import pytest
from conftest import BUILD, REPOSITORY, archives, skip_or_fail

VECTORS = REPOSITORY / "tests" / "vectors"
AARCH64_SYSROOT = "/usr/aarch64-linux-gnu"
FUSED_X86 = re.compile(r"\sv?f(n)?m(add|sub)\w*\s")
FUSED_AARCH64 = re.compile(r"\s(fn?m(add|sub)|fml[as])\s")
WORKERS = 2  # the machine's cores

BUILDS = {
    "fmpy": None,
    "clang": ["clang++", "-std=c++17", "-O3"],
    "gcc-x86-64-v3": ["g++", "-O3", "-march=x86-64-v3"],
    "gcc-aarch64": ["aarch64-linux-gnu-g++", "-O2"],
}


def scenarios():
    return sorted(path for path in VECTORS.glob("*.json") if ".expected" not in path.name)


def runs_x86_64_v3():
    """Whether this CPU runs x86-64-v3 code, as the loader reports it."""
    loader = Path("/lib64/ld-linux-x86-64.so.2")
    if not loader.exists():
        return False
    listing = subprocess.run([str(loader), "--help"], capture_output=True, text=True).stdout
    return re.search(r"x86-64-v3 \(supported", listing) is not None


def compile_sources(compiler, unpacked, output):
    """Compiles the listed source files as an importer does, WORKERS at a
    time, and links them into a shared library."""
    if shutil.which(compiler[0]) is None:
        skip_or_fail(f"{compiler[0]} is not installed")
    sources_dir = unpacked / "sources"
    description = fmpy.read_model_description(str(unpacked))
    files = description.buildConfigurations[0].sourceFileSets[0].sourceFiles
    objects = [output.parent / (Path(name).stem + ".o") for name in files]

    def compile_one(name, obj):
        return subprocess.run([*compiler, "-fPIC", "-I", str(sources_dir), "-c",
                               str(sources_dir / name), "-o", str(obj)],
                              capture_output=True, text=True, timeout=600)

    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        for done in pool.map(compile_one, files, objects):
            assert done.returncode == 0, done.stderr[-3000:]
    linked = subprocess.run([*compiler, "-shared", "-o", str(output), *map(str, objects), "-lm"],
                            capture_output=True, text=True, timeout=600)
    assert linked.returncode == 0, linked.stderr[-3000:]
    return output


def fmpy_compile(archive, work):
    """`fmpy compile` on a copy of the archive; its rebuilt linux64 binary."""
    copy = work / archive.name
    shutil.copy(archive, copy)
    # Two compilations at a time, as everywhere in these tests; the flags
    # stay FMPy's.
    environment = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL=str(WORKERS))
    compiled = subprocess.run([sys.executable, "-m", "fmpy", "compile", str(copy)],
                              capture_output=True, text=True, timeout=900, env=environment)
    assert compiled.returncode == 0, compiled.stdout[-3000:] + compiled.stderr[-3000:]
    with zipfile.ZipFile(copy) as files:
        rebuilt = files.read("binaries/linux64/Tarvo_Unit.so")
        # The rest of the archive stays as it was, win64 included.
        assert "binaries/win64/Tarvo_Unit.dll" in files.namelist()
    library = work / "Tarvo_Unit.so"
    library.write_bytes(rebuilt)
    with zipfile.ZipFile(archive) as files:
        assert rebuilt != files.read("binaries/linux64/Tarvo_Unit.so"), "nothing was rebuilt"
    return library


def assert_no_fused_multiply_add(library, aarch64):
    objdump = "aarch64-linux-gnu-objdump" if aarch64 else "objdump"
    code = subprocess.run([objdump, "-d", str(library)], check=True, capture_output=True,
                          text=True).stdout
    fused = (FUSED_AARCH64 if aarch64 else FUSED_X86).findall(code)
    assert not fused, f"{len(fused)} fused multiply-add instructions"


def assert_glibc_floor(library):
    versions = subprocess.run(["readelf", "--version-info", "--wide", str(library)],
                              check=True, capture_output=True, text=True).stdout
    needed = {(int(major), int(minor))
              for major, minor in re.findall(r"Name: GLIBC_(\d+)\.(\d+)", versions)}
    assert needed and max(needed) <= (2, 17), sorted(needed)


@pytest.mark.parametrize("build", list(BUILDS))
@pytest.mark.parametrize("variant,archive", archives(), ids=[v for v, _ in archives()])
def test_sources_reproduce_every_vector(variant, archive, build, tmp_path):
    aarch64 = build == "gcc-aarch64"
    trace = [str(BUILD / "tools" / "trace" / "trace")]
    if aarch64:
        cross_trace = BUILD / "tests" / "platforms" / "trace-aarch64" / "trace"
        if shutil.which("qemu-aarch64") is None or not cross_trace.is_file():
            skip_or_fail("qemu-aarch64 or the aarch64 trace tool is missing")
        trace = ["qemu-aarch64", "-L", AARCH64_SYSROOT, str(cross_trace)]
    if build == "gcc-x86-64-v3" and not runs_x86_64_v3():
        pytest.skip("this CPU does not run x86-64-v3 code")

    if build == "fmpy":
        library = fmpy_compile(archive, tmp_path)
    else:
        unpacked = Path(fmpy.extract(str(archive), str(tmp_path / "unpacked")))
        library = compile_sources(BUILDS[build], unpacked, tmp_path / "Tarvo_Unit.so")
    assert_no_fused_multiply_add(library, aarch64)
    assert_glibc_floor(library)

    # The default sources run on the C library's cos and sin: the set it
    # matches (glibc 2.36 on aarch64 rounds as x86-64 with FMA does); the
    # portable ones on their own, correctly rounded.
    cos_sin = "auto" if variant == "default" else "cr"
    if variant == "default":
        which = subprocess.run([*trace, "--which-cos-sin"], capture_output=True, text=True)
        assert which.stdout.startswith(("fma:", "sse2:")), which.stdout + which.stderr
    def run(scenario):
        return scenario, subprocess.run([*trace, "--library", str(library), str(scenario),
                                         "--expected-dir", str(VECTORS), "--cos-sin", cos_sin],
                                        capture_output=True, text=True, timeout=900)

    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        for scenario, done in pool.map(run, scenarios()):
            assert done.returncode == 0, \
                f"{scenario.name}: {done.stdout[-2000:]}{done.stderr[-2000:]}"
