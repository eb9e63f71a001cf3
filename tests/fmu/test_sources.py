"""The archive's sources/ folder rebuilds the binary on its own, and the
rebuilt binary gives bit-identical results."""

import shutil
import subprocess

import pytest

from conftest import binary_of, run_trace

# Inputs, a parameter written between steps and a stop time: the paths of the
# step that a rebuild could change.
SCENARIO = {
    "name": "rebuild",
    "setup": {"startTime": 0.0, "stopTimeDefined": 1, "stopTime": 0.004},
    "init_sets": [[1, 0.01], [55, 0.3]],
    "steps": [
        {"sets": [[203, 1.5], [204, -0.75]], "t": 0.0, "h": 0.001},
        {"sets": [[20, 0.5], [31, 3.0]], "t": 0.001, "h": 0.001},
        {"sets": [], "t": 0.002, "h": 0.001},
        {"sets": [[204, 2.0]], "t": 0.003, "h": 0.001},
    ],
}


def test_sources_rebuild_the_binary(unpacked, trace_tool, tmp_path):
    cmake = shutil.which("cmake")
    if cmake is None:
        pytest.fail("cmake is not installed")
    sources = tmp_path / "sources"
    shutil.copytree(unpacked / "sources", sources)  # nothing outside sources/ is needed
    build = tmp_path / "build"
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    for command in ([cmake, "-S", str(sources), "-B", str(build), *generator],
                    [cmake, "--build", str(build), "-j", "2"]):
        completed = subprocess.run(command, capture_output=True, text=True, timeout=900)
        assert completed.returncode == 0, completed.stdout[-3000:] + completed.stderr[-3000:]
    rebuilt = build / "Tarvo_Unit.so"
    assert rebuilt.is_file()

    shipped = run_trace(trace_tool, binary_of(unpacked), SCENARIO, tmp_path)
    assert run_trace(trace_tool, rebuilt, SCENARIO, tmp_path) == shipped
    assert [status for status, _ in shipped] == [0, 0, 0, 0, 0]
