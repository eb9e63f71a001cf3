"""./simulate's single runs: a short run writes the CSV and the plot; bad
options and input files end with a message, status 2 and no result files; a
folder without room for the results or that cannot be written is told
before the run; a run of years says so up front and Ctrl-C ends it; an
unexpected failure is one line, with its traceback under --verbose."""

import csv
import re
import signal
import subprocess
import sys
import time

import pytest

from simulate import cli, single_run


def run_tool(fmu_path, output_dir, *arguments):
    return cli.main(["--fmu", str(fmu_path), "--output-dir", str(output_dir),
                          *map(str, arguments)])


def test_short_run_writes_results_and_plot(fmu_path, tmp_path, capsys, monkeypatch):
    monkeypatch.setattr(single_run, "PROGRESS_AFTER_SECONDS", 0.0)
    status = run_tool(fmu_path, tmp_path, "--stop-time", 0.01, "--output-interval", 0.002,
                      "level.capacity=500", "channelA.input=0.5")
    captured = capsys.readouterr()
    assert status == 0, captured.err
    assert str(tmp_path / "results.csv") in captured.out
    assert "t = 0.01 of 0.01" in captured.err

    with open(tmp_path / "results.csv", newline="") as file:
        rows = list(csv.reader(file))
    header = rows[0]
    assert header[:3] == ["time", "channelA.input", "channelB.input"]
    assert len(header) == 3 + 23
    assert [float(row[0]) for row in rows[1:]] == pytest.approx([0.0, 0.002, 0.004, 0.006,
                                                                 0.008, 0.01])
    # level.used is the capacity of 500 less the level: 0 at the start. The
    # input given a start value is held there; the other follows the profile.
    assert float(rows[1][header.index("level.used")]) == 0.0
    assert {row[header.index("channelA.input")] for row in rows[1:]} == {"0.5"}
    assert {row[header.index("channelB.input")] for row in rows[1:]} == {"0.0"}
    assert (tmp_path / "results.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["results.csv", "results.png"]


def profile(tmp_path, text):
    path = tmp_path / "profile.csv"
    path.write_text(text)
    return path


BAD_RUNS = {
    "unknown variable": (["level.nothing=1"], "no variable 'level.nothing'"),
    "value not a number": (["level.capacity=lots"], "'lots' is not a number"),
    "no equals sign": (["level.capacity"], "expected NAME=VALUE"),
    "start value of an output": (["level.used=1"], "only parameters and inputs"),
    "non-finite start value": (["level.capacity=inf"], "not a finite number"),
    "stop time not a number": (["--stop-time", "soon"], "'soon' is not a number"),
    "stop time before the start": (["--stop-time", "-1"], "is not after the start time"),
    "zero output interval": (["--output-interval", "0"], "is not positive"),
    "interval longer than the run": (["--stop-time", "0.01", "--output-interval", "0.1"],
                                     "longer than the run"),
    "missing input file": (["--inputs", "{dir}/none.csv"], "no such file"),
    "header without time": (["--inputs", "{profile:channelA.input\n1\n}"],
                            "must be 'time' followed by input names"),
    "column not an input": (["--inputs", "{profile:time,level.capacity\n0,1\n}"],
                            "'level.capacity' is not an input"),
    "cell not a number": (["--inputs", "{profile:time,channelA.input\n0,one\n}"],
                          "line 2: 'one' is not a number"),
    "short row": (["--inputs", "{profile:time,channelA.input\n0,1\n0.5\n}"],
                  "line 3: 1 values, expected 2"),
    "time backwards": (["--inputs", "{profile:time,channelA.input\n0.5,1\n0.2,1\n}"],
                       "line 3: time goes backwards"),
    "no rows": (["--inputs", "{profile:time,channelA.input\n}"], "no rows after the header"),
}


@pytest.mark.parametrize("case", BAD_RUNS, ids=list(BAD_RUNS))
def test_bad_options_leave_no_result_files(case, fmu_path, tmp_path, capsys):
    arguments, message = BAD_RUNS[case]
    output_dir = tmp_path / "out"
    output_dir.mkdir()
    (output_dir / "results.csv").write_text("earlier run\n")
    resolved = []
    for argument in arguments:
        if argument.startswith("{profile:"):
            argument = str(profile(tmp_path, argument[len("{profile:"):-1]))
        resolved.append(argument.replace("{dir}", str(tmp_path)))

    assert run_tool(fmu_path, output_dir, *resolved) == 2
    error = capsys.readouterr().err
    assert error.startswith("simulate: error: ") and message in error, error
    assert sorted(p.name for p in output_dir.iterdir()) == ["results.csv"]
    assert (output_dir / "results.csv").read_text() == "earlier run\n"


def test_a_folder_that_cannot_take_the_results_is_told_before_the_run(small_disk, fmu_path,
                                                                     capsys):
    # 20,001 rows need far more than the 1 MiB of this disk.
    folder = small_disk / "out"
    assert run_tool(fmu_path, folder, "--stop-time", 20) == 2
    assert re.fullmatch(rf"simulate: error: output folder {folder}: \d+\.\d MB free, the run "
                        r"needs about \d+\.\d MB for its results\n", capsys.readouterr().err)
    assert list(folder.iterdir()) == []
    subprocess.run(["mount", "-o", "remount,ro", str(small_disk)], check=True)
    assert run_tool(fmu_path, folder) == 2
    assert capsys.readouterr().err == (f"simulate: error: output folder {folder}: cannot write "
                                       "in it (Read-only file system)\n")


def test_a_run_of_years_says_so_and_ctrl_c_ends_it_with_one_line(fmu_path, tmp_path):
    # 10^15 internal steps in ten communication steps: each step of FMPy's
    # takes months, and the run must still stop at once.
    output_dir = tmp_path / "out"
    output_dir.mkdir()
    (output_dir / "results.csv").write_text("earlier run\n")
    run = subprocess.Popen([sys.executable, "-m", "simulate", "--fmu", str(fmu_path),
                            "--output-dir", str(output_dir), "--stop-time", "1e9",
                            "--output-interval", "1e8"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        run.stdout.readline()
        estimate = run.stdout.readline()
        time.sleep(0.5)  # into the first long step
        run.send_signal(signal.SIGINT)
        _, errors = run.communicate(timeout=30)
    finally:
        run.kill()
    assert estimate.startswith("simulate: 1e+15 internal steps, estimated to take about ")
    assert "years" in estimate
    assert run.returncode == 130
    assert errors.startswith("simulate: interrupted at t = ") and errors.count("\n") == 1
    assert "earlier results left as they were" in errors
    assert sorted(p.name for p in output_dir.iterdir()) == ["results.csv"]
    assert (output_dir / "results.csv").read_text() == "earlier run\n"


def test_an_unexpected_failure_is_one_line_and_verbose_shows_where(tmp_path, capsys):
    not_an_archive = tmp_path / "unit.fmu"
    not_an_archive.write_text("not a zip file\n")
    arguments = ["--fmu", str(not_an_archive), "--output-dir", str(tmp_path / "out")]
    assert cli.main(arguments) == 1
    error = capsys.readouterr().err
    assert error.startswith("simulate: the simulation failed: BadZipFile: ")
    assert error.endswith(" (--verbose shows where)\n") and error.count("\n") == 1
    assert cli.main([*arguments, "--verbose"]) == 1
    error = capsys.readouterr().err
    assert error.startswith("Traceback (most recent call last):")
    assert error.splitlines()[-1].startswith("simulate: the simulation failed: BadZipFile: ")


def test_portable_option_simulates_the_portable_archive(tmp_path, capsys, monkeypatch):
    missing = tmp_path / "Tarvo_Unit-portable.fmu"
    monkeypatch.setattr(cli, "PORTABLE_FMU", missing)
    assert cli.main(["--portable", "--output-dir", str(tmp_path)]) == 2
    error = capsys.readouterr().err
    assert f"no FMU at {missing}" in error and "--target fmu-portable" in error
