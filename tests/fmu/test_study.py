"""Studies on a local cluster of two workers: a grid, a case table and a
seeded sample give their rows in case order with the values asked for, the
same bits as single runs and on the FMI 3.0 archive, a refused case among
good ones, and bad options that end before any case runs."""

import csv
import math
import re
import signal
import subprocess
import sys
import time

import pytest

from simulate import cli

STOP = "0.02"


def run_tool(fmu_path, output_dir, *arguments):
    return cli.main(["--fmu", str(fmu_path), "--output-dir", str(output_dir),
                          "--stop-time", STOP, *map(str, arguments)])


def read_rows(path):
    with open(path, newline="") as file:
        return list(csv.DictReader(file))


def test_grid_in_case_order_with_the_bits_of_single_runs(fmu_path, tmp_path, capsys):
    study = tmp_path / "study"
    assert run_tool(fmu_path, study, "--workers", 2, "--keep-series",
                    "--vary", "level.capacity=10,1000", "--vary", "channelA.input=-1:1:3",
                    "pose.offset[0]=0.25") == 0
    captured = capsys.readouterr()
    assert "on a local cluster of 2 workers" in captured.out
    assert "6/6 cases, 0 failed" in captured.err

    rows = read_rows(study / "sweep.csv")
    header = list(rows[0])
    outputs = header[header.index("message") + 1:-1]
    assert header[:5] == ["case", "level.capacity", "channelA.input", "status", "message"]
    assert len(outputs) == 23 and header[-1] == "wall_s"
    # The first --vary changes slowest.
    assert [(row["case"], row["level.capacity"], row["channelA.input"]) for row in rows] == [
        ("1", "10.0", "-1.0"), ("2", "10.0", "0.0"), ("3", "10.0", "1.0"),
        ("4", "1000.0", "-1.0"), ("5", "1000.0", "0.0"), ("6", "1000.0", "1.0")]
    assert {row["status"] for row in rows} == {"ok"}
    assert all(float(row["wall_s"]) > 0 for row in rows)
    assert (study / "sweep.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert sorted(p.name for p in (study / "cases").iterdir()) == [
        f"case-000{n}.csv" for n in range(1, 7)]

    # A single run with the same start values: the same final outputs, and
    # the kept series is its results.csv byte for byte.
    for case in (3, 4):
        row = rows[case - 1]
        single = tmp_path / f"single-{case}"
        assert run_tool(fmu_path, single, "pose.offset[0]=0.25",
                        f"level.capacity={row['level.capacity']}",
                        f"channelA.input={row['channelA.input']}") == 0
        last = read_rows(single / "results.csv")[-1]
        assert [row[name] for name in outputs] == [last[name] for name in outputs]
        assert ((study / "cases" / f"case-000{case}.csv").read_bytes()
                == (single / "results.csv").read_bytes())
    # Different cases, different results: the values reached the unit.
    assert rows[0]["channelA.out[1]"] != rows[2]["channelA.out[1]"]

    # The FMI 3.0 archive, whose arrays hold these outputs and pose.offset:
    # the same rows and series.
    fmi3 = tmp_path / "fmi3"
    assert run_tool(fmu_path.with_name("Tarvo_Unit-fmi3.fmu"), fmi3, "--workers", 2,
                    "--keep-series", "--vary", "level.capacity=10,1000", "--vary",
                    "channelA.input=-1:1:3", "pose.offset[0]=0.25") == 0
    assert [{**row, "wall_s": ""} for row in read_rows(fmi3 / "sweep.csv")] == \
        [{**row, "wall_s": ""} for row in rows]
    for series in (study / "cases").iterdir():
        assert (fmi3 / "cases" / series.name).read_bytes() == series.read_bytes()


def test_case_table_and_a_case_the_unit_refuses(fmu_path, tmp_path, capsys):
    table = tmp_path / "cases.csv"
    table.write_text("# capacity, a divisor of the equations and an input\n"
                     "level.capacity, parameters[17], channelB.input\n"
                     "500, 0.08, 0.5\n"
                     "# a zero divisor: every output but level.used ends as NaN\n"
                     "500, 0, 0.5\n"
                     "1e-3, 0.08, -2\n")
    study = tmp_path / "study"
    assert run_tool(fmu_path, study, "--workers", 2, "--cases", table) == 0
    assert "3/3 cases, 1 failed" in capsys.readouterr().err

    rows = read_rows(study / "sweep.csv")
    assert [[row[n] for n in ("case", "level.capacity", "parameters[17]", "channelB.input",
                              "status")] for row in rows] == [
        ["1", "500.0", "0.08", "0.5", "ok"],
        ["2", "500.0", "0.0", "0.5", "error"],
        ["3", "0.001", "0.08", "-2.0", "ok"]]
    assert rows[1]["message"].startswith("22 outputs end as not a number (channelA.out[0], ")
    assert rows[1]["level.used"] == "" and rows[0]["message"] == ""
    assert all(math.isfinite(float(row["level.used"])) for row in (rows[0], rows[2]))


def test_seeded_sample_is_the_same_for_the_same_seed(fmu_path, tmp_path):
    study = tmp_path / "study"
    assert run_tool(fmu_path, study, "--workers", 2, "--samples", 3, "--seed", 7,
                    "--vary", "level.capacity=uniform(100,2500)",
                    "--vary", "channelA.input=normal(0.5,0.25)") == 0
    rows = read_rows(study / "sweep.csv")
    # Drawn from Python's Mersenne Twister, whose random() sequence is the
    # same for a seed everywhere: these exact values on every machine.
    assert [(row["level.capacity"], row["channelA.input"]) for row in rows] == [
        ("877.1986355995897", "0.2418004508347486"),
        ("1662.242735295649", "0.13552904880114464"),
        ("1386.1168103360542", "0.41417667935208435")]
    assert {row["status"] for row in rows} == {"ok"}


BAD_STUDIES = {
    "unknown variable": (["--vary", "level.nothing=1,2"], "no variable 'level.nothing'"),
    "output varied": (["--vary", "level.used=1,2"], "is an output value"),
    "range without count": (["--vary", "level.capacity=1:2"], "a range is START:STOP:COUNT"),
    "range count not whole": (["--vary", "level.capacity=1:2:2.5"],
                              "COUNT '2.5' is not a whole number"),
    "list value not a number": (["--vary", "level.capacity=1,x"], "'x' is not a number"),
    "varied twice": (["--vary", "level.capacity=1", "--vary", "level.capacity=2"],
                     "varied twice"),
    "varied and set": (["level.capacity=3", "--vary", "level.capacity=1,2"],
                       "both given a start value and varied"),
    "samples without a distribution": (["--samples", "4", "--vary", "level.capacity=1,2"],
                                       "needs a distribution"),
    "samples alone": (["--samples", "4"], "need a --vary distribution"),
    "distribution without samples": (["--vary", "level.capacity=uniform(1,2)"],
                                     "needs --samples N"),
    "bad distribution": (["--samples", "2", "--vary", "level.capacity=uniform(2,1)"],
                         "needs A < B"),
    "table cell not a number": (["--cases", "{table:level.capacity\n1\nlots\n}"],
                                "line 3: 'lots' is not a number"),
    "table short row": (["--cases", "{table:level.capacity,channelA.input\n1,2\n3\n}"],
                        "line 3: 1 values, expected 2"),
    "table unknown column": (["--cases", "{table:level.nothing\n1\n}"],
                             "no variable 'level.nothing'"),
    "table without cases": (["--cases", "{table:level.capacity\n}"], "no cases"),
    "table and vary": (["--cases", "{table:level.capacity\n1\n}", "--vary",
                        "channelA.input=1"], "cannot be combined"),
    "workers without a study": (["--workers", "2"], "belongs to a study"),
    "no workers": (["--vary", "level.capacity=1", "--workers", "0"], "not a whole number"),
    "tls without certificates": (["--vary", "level.capacity=1", "--scheduler",
                                  "tls://127.0.0.1:8786"], "needs --tls-ca-file"),
    "certificate for tcp": (["--vary", "level.capacity=1", "--scheduler", "127.0.0.1:8786",
                             "--tls-cert", "x.pem"], "needs a tls:// --scheduler"),
}


@pytest.mark.parametrize("case", BAD_STUDIES, ids=list(BAD_STUDIES))
def test_bad_study_options_end_before_any_case_runs(case, fmu_path, tmp_path, capsys):
    arguments, message = BAD_STUDIES[case]
    output_dir = tmp_path / "out"
    output_dir.mkdir()
    (output_dir / "sweep.csv").write_text("earlier study\n")
    resolved = []
    for argument in arguments:
        if argument.startswith("{table:"):
            table = tmp_path / "cases.csv"
            table.write_text(argument[len("{table:"):-1])
            argument = str(table)
        resolved.append(argument)

    assert run_tool(fmu_path, output_dir, *resolved) == 2
    captured = capsys.readouterr()
    assert captured.err.startswith("simulate: error: ") and message in captured.err, captured.err
    assert captured.err.count("\n") == 1 and captured.out == ""
    assert sorted(p.name for p in output_dir.iterdir()) == ["sweep.csv"]
    assert (output_dir / "sweep.csv").read_text() == "earlier study\n"


def test_ctrl_c_stops_a_study_saying_what_it_kept_and_resume_finishes_it(fmu_path, tmp_path,
                                                                          capsys):
    output_dir = tmp_path / "out"
    tool = [sys.executable, "-m", "simulate", "--fmu", str(fmu_path),
            "--output-dir", str(output_dir)]
    # Cases long enough that the interrupt lands before the last one.
    study = subprocess.Popen(tool + ["--workers", "1", "--vary", "level.capacity=1:100:50",
                                     "--stop-time", "1"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        # The bar reaches the pipe in pieces ending in carriage returns, and
        # may pass over a count: wait for any case to be finished.
        progress = b""
        while not re.search(rb"\b[1-9][0-9]*/50 cases", progress) and study.poll() is None:
            progress += study.stderr.read1(4096)
        study.send_signal(signal.SIGINT)
        began = time.monotonic()
        _, rest = study.communicate(timeout=60)
    finally:
        study.kill()
    rest = rest.decode()
    assert time.monotonic() - began < 30
    assert study.returncode == 130, rest
    last = rest.strip().splitlines()[-1]
    finished = int(last.split()[2])
    assert last == (f"simulate: interrupted: {finished} of 50 cases finished, kept in "
                    f"{output_dir}/study.journal; resume with: ./simulate --resume {output_dir} "
                    "--workers 1")
    assert 1 <= finished < 50
    # sweep.csv shows the finished cases, the others pending.
    statuses = [row["status"] for row in read_rows(output_dir / "sweep.csv")]
    assert statuses.count("ok") == finished and statuses.count("pending") == 50 - finished

    assert cli.main(["--resume", str(output_dir)]) == 0
    captured = capsys.readouterr()
    assert f"{finished} resumed, 0 failed" in captured.err
    assert f"; {finished} finished before, resumed from the journal" in captured.out
    rows = read_rows(output_dir / "sweep.csv")
    assert [row["case"] for row in rows] == [str(n) for n in range(1, 51)]
    assert {row["status"] for row in rows} == {"ok"}
