"""The archive's sources/ folder rebuilds the binary on its own, and the
rebuilt binary gives bit-identical results."""

import shutil
import subprocess

import pytest
from conftest import binary_of, run_trace


def rebuild_scenario(references):
    """Inputs, parameters written between steps and a stop time: the paths of
    the step that a rebuild could change."""
    def sets(*written):
        return [[references[name], value] for name, value in written]

    return {
        "name": "rebuild",
        "setup": {"startTime": 0.0, "stopTimeDefined": 1, "stopTime": 0.004},
        "init_sets": sets(("level.capacity", 0.01), ("initialValues[7]", 0.3)),
        "steps": [
            {"sets": sets(("channelA.input", 1.5), ("channelB.input", -0.75)),
             "t": 0.0, "h": 0.001},
            {"sets": sets(("channelA.quantisationStep", 0.5), ("channelA.driveUpperLimit", 3.0)),
             "t": 0.001, "h": 0.001},
            {"sets": [], "t": 0.002, "h": 0.001},
            {"sets": sets(("channelB.input", 2.0)), "t": 0.003, "h": 0.001},
        ],
    }


def test_sources_rebuild_the_binary(unpacked, trace_tool, tmp_path, references):
    cmake = shutil.which("cmake")
    if cmake is None:
        pytest.fail("cmake is not installed")
    sources = tmp_path / "sources"
    shutil.copytree(unpacked / "sources", sources)  # nothing outside sources/ is needed
    build = tmp_path / "build"
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    # With the repository's own flags, warnings stop the build.
    for command in ([cmake, "-S", str(sources), "-B", str(build), *generator,
                     "-DTARVO_WARNINGS_AS_ERRORS=ON"],
                    [cmake, "--build", str(build), "-j", "2"]):
        completed = subprocess.run(command, capture_output=True, text=True, timeout=900)
        assert completed.returncode == 0, completed.stdout[-3000:] + completed.stderr[-3000:]
    rebuilt = build / "Tarvo_Unit.so"
    assert rebuilt.is_file()

    scenario = rebuild_scenario(references)
    shipped = run_trace(trace_tool, binary_of(unpacked), scenario, tmp_path)
    assert run_trace(trace_tool, rebuilt, scenario, tmp_path) == shipped
    assert [status for status, _ in shipped] == [0, 0, 0, 0, 0]
