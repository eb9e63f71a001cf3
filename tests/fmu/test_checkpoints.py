"""Checkpoints of single runs of the FMI 3.0 unit: a run killed with SIGKILL
at random moments and resumed each time ends with the results.csv of an
uninterrupted run, byte for byte; the FMI 3.0 archive gives the columns and
bits of the FMI 2.0 one, with and without checkpoints; Ctrl-C keeps the
point reached; the FMI 2.0 archive and other bad options are refused; a
damaged checkpoint or results, another archive and other options are
refused with one line and change nothing; a disk without room for the
results is told before the run, and one that fills during it stops the run
with its last checkpoint whole."""

import contextlib
import io
import random
import re
import shutil
import signal
import subprocess
import sys
import time

import pytest
from conftest import fill_disk, finish

from simulate import checkpoint, cli

# About a second of stepping on this machine, a checkpoint every 50 ms.
LONG_RUN = ["--stop-time", "4", "--checkpoint-every", "0.05"]
KILLS = 5


def launch(*arguments):
    return subprocess.Popen([sys.executable, "-m", "simulate", *map(str, arguments)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def kept(folder):
    """The folder's checkpoint as a resume reads it, its results checked."""
    state = checkpoint.read_checkpoint(folder)
    if state is not None:
        checkpoint.check_results(folder, state, "results.partial.csv")
    return state


def wait_for_checkpoint(folder, process, beyond):
    """Waits until a checkpoint later than model time beyond is on the disk."""
    deadline = time.monotonic() + 60
    while process.poll() is None and time.monotonic() < deadline:
        with contextlib.suppress(Exception):  # read while it is replaced
            state = checkpoint.read_checkpoint(folder)
            if state is not None and state.time > beyond:
                return
        time.sleep(0.005)


def results_of(fmu, folder, *arguments):
    assert cli.main(["--fmu", str(fmu), "--output-dir", str(folder),
                     *map(str, arguments)]) == 0
    return (folder / "results.csv").read_bytes()


def files_of(folder):
    """Every file of the folder but its lock, which each start rewrites, and
    temporary files that a stopped run left, which it removes."""
    return {path.name: path.read_bytes() for path in folder.iterdir()
            if not path.name.startswith(".study")}


def test_fmi3_runs_give_the_columns_and_bits_of_fmi2_runs(fmu_path, fmi3_fmu_path, tmp_path,
                                                          monkeypatch, capsys):
    # An element of an array parameter, a scalar parameter and an input held.
    arguments = ["--stop-time", "0.6", "pose.offset[1]=0.05", "level.capacity=300",
                 "channelB.input=0.25"]
    expected = results_of(fmu_path, tmp_path / "fmi2", *arguments)
    monkeypatch.setattr(cli, "FMI3_FMU", fmi3_fmu_path)
    assert cli.main(["--fmi3", "--output-dir", str(tmp_path / "fmi3"), *arguments]) == 0
    assert (tmp_path / "fmi3" / "results.csv").read_bytes() == expected
    assert results_of(fmi3_fmu_path, tmp_path / "checkpoints", *arguments,
                      "--checkpoint-every", "0.01") == expected
    assert "Tarvo_Unit-fmi3.fmu" in capsys.readouterr().out
    assert sorted(p.name for p in (tmp_path / "checkpoints").iterdir()) == \
        [".study.lock", "results.csv", "results.png"]


def test_a_run_killed_at_random_moments_resumes_to_the_bytes_of_an_uninterrupted_run(
        fmi3_fmu_path, tmp_path):
    expected = results_of(fmi3_fmu_path, tmp_path / "reference", "--stop-time", "4")
    generator = random.Random(20261210)
    kills = landed = resumes = runs = 0
    while landed < KILLS:  # runs again if one ends before the kills landed
        assert runs < 3, f"only {landed} kills landed in {runs} runs"
        folder = tmp_path / f"run-{runs}"
        runs += 1
        command = ["--fmu", fmi3_fmu_path, "--output-dir", folder, *LONG_RUN]
        for _ in range(20):
            before = kept(folder)
            # Resumed while there is a checkpoint, else started again.
            run = launch("--resume", folder) if before else launch(*command)
            if landed < KILLS:
                if generator.random() < 0.3:
                    time.sleep(generator.uniform(0.0, 1.0))  # from the start of the process on
                else:
                    wait_for_checkpoint(folder, run, before.time if before else -1.0)
                    time.sleep(generator.uniform(0.0, 0.08))
                run.send_signal(signal.SIGKILL)
            status, out, err = finish(run)
            if before and out:
                assert f"resumed from its checkpoint at t = {before.time:.6g}" in out
                resumes += 1
            if status == 0:
                break
            assert status == -signal.SIGKILL, err
            kills += 1
            # After every kill the checkpoint reads back whole, never goes
            # back, and counts results that are the uninterrupted run's.
            after = kept(folder)
            if after is not None:
                assert before is None or after.time >= before.time
                counted = (folder / "results.partial.csv").read_bytes()[:after.results_bytes]
                assert counted == expected[:after.results_bytes]
                landed += after.time > (before.time if before else 0.0)
        assert status == 0, err
        assert (folder / "results.csv").read_bytes() == expected
        assert (folder / "results.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
        assert sorted(p.name for p in folder.iterdir()) == \
            [".study.lock", "results.csv", "results.png"]
    assert resumes >= KILLS
    print(f"\nkills: {kills}, of them after progress kept: {landed}, resumes: {resumes}, "
          f"runs: {runs}")


BAD_OPTIONS = {
    "the FMI 2.0 archive": (["--checkpoint-every", "1"],
                            "Tarvo_Unit.fmu is an FMI 2.0 archive, whose unit cannot serialise "
                            "its state; add --fmi3"),
    "no positive number": (["--checkpoint-every", "0"], "is not a positive number of seconds"),
    "a study": (["--checkpoint-every", "1", "--vary", "level.capacity=1,2"],
                "--checkpoint-every belongs to a single run"),
    "--fmi3 with --fmu": (["--fmi3"], "--fmi3 chooses one of the build's FMI 3.0 archives"),
}


@pytest.mark.parametrize("case", BAD_OPTIONS, ids=list(BAD_OPTIONS))
def test_bad_checkpoint_options_are_refused_before_anything_is_written(case, fmu_path,
                                                                       tmp_path, capsys):
    arguments, message = BAD_OPTIONS[case]
    folder = tmp_path / "out"
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(folder), *arguments]) == 2
    error = capsys.readouterr().err
    assert error.startswith("simulate: error: ") and message in error, error
    assert error.count("\n") == 1
    assert not folder.exists()


@pytest.fixture
def stopped_run(fmi3_fmu_path, tmp_path):
    """A run stopped with Ctrl-C after a few checkpoints, what a second start
    in its folder said while it ran, and the results of the same run
    uninterrupted."""
    folder = tmp_path / "run"
    run = launch("--fmu", fmi3_fmu_path, "--output-dir", folder, *LONG_RUN)
    try:
        wait_for_checkpoint(folder, run, 0.2)
        with contextlib.redirect_stderr(io.StringIO()) as second_start:
            assert cli.main(["--resume", str(folder)]) == 2
        run.send_signal(signal.SIGINT)
        status, _, err = finish(run)
    finally:
        run.kill()
    assert status == 130, err
    stopped = re.fullmatch(r"simulate: interrupted at t = (\S+) of 4 \(\d+ %\) after \d+ s; its "
                           r"checkpoint at t = (\S+)( or later)? is in "
                           + re.escape(f"{folder}/run.checkpoint; resume with: ./simulate "
                                       f"--resume {folder}") + "\n",
                           err.splitlines(keepends=True)[-1])
    assert stopped, err
    if not stopped.group(3):  # Ctrl-C kept the point reached
        assert stopped.group(1) == stopped.group(2) == f"{kept(folder).time:.6g}"
    expected = results_of(fmi3_fmu_path, tmp_path / "reference", "--stop-time", "4")
    return folder, expected, second_start.getvalue()


def flip_a_bit(generator, end=None):
    def change(data):
        bit = generator.randrange(8 * (len(data) if end is None else end))
        return data[:bit // 8] + bytes([data[bit // 8] ^ 1 << bit % 8]) + data[bit // 8 + 1:]
    return change


def test_damaged_checkpoints_other_archives_and_options_are_refused_unchanged(
        stopped_run, fmu_path, fmi3_fmu_path, tmp_path, capsys):
    folder, expected, second_start = stopped_run
    assert re.fullmatch(rf"simulate: error: output folder {re.escape(str(folder))} is in use "
                        r"by another run \(process \d+\); wait for it to end or choose "
                        r"another --output-dir\n", second_start)
    state = kept(folder)
    generator = random.Random(7)
    copies = 0

    def refused(message, arguments=("--resume", "{copy}"), damage=None):
        """A copy of the stopped run, damaged or not, refuses the arguments
        with one line and stays as it was."""
        nonlocal copies
        copy = tmp_path / f"copy-{copies}"
        copies += 1
        shutil.copytree(folder, copy)
        if damage:
            name, change = damage
            (copy / name).write_bytes(change((copy / name).read_bytes()))
        before = files_of(copy)
        capsys.readouterr()
        assert cli.main([str(argument).replace("{copy}", str(copy))
                         for argument in arguments]) == 2
        error = capsys.readouterr().err
        assert error.startswith("simulate: error: ") and error.count("\n") == 1, error
        assert message.replace("{copy}", str(copy)) in error, error
        assert files_of(copy) == before

    damaged = "checkpoint {copy}/run.checkpoint: "
    for _ in range(3):
        refused(damaged + "damaged (", damage=("run.checkpoint", flip_a_bit(generator)))
    refused(damaged + "damaged (line 2: its checksum does not match)",
            damage=("run.checkpoint", lambda data: data[:-50]))
    refused(damaged + "damaged (not the two lines of a checkpoint)",
            damage=("run.checkpoint", lambda data: data[:data.index(b"\n") + 1]))
    refused(damaged + "its results {copy}/results.partial.csv differ from what it counts",
            damage=("results.partial.csv", flip_a_bit(generator, state.results_bytes)))
    refused(damaged + "its results {copy}/results.partial.csv are shorter than it counts",
            damage=("results.partial.csv", lambda data: data[:state.results_bytes - 1]))

    another = tmp_path / "another.fmu"
    shutil.copyfile(fmi3_fmu_path.with_name("Tarvo_Unit-fmi3-portable.fmu"), another)
    refused(f"{another} is not the archive the run began with ({fmi3_fmu_path.resolve()}, "
            "SHA-256 ", ["--resume", "{copy}", "--fmu", another])
    refused("Tarvo_Unit.fmu is not the archive the run began with",
            ["--resume", "{copy}", "--fmu", fmu_path])
    refused("the options given define another run than its checkpoint's (they differ in "
            "--stop-time)", ["--resume", "{copy}", "--stop-time", "5"])
    refused("(they differ in the start values (NAME=VALUE))",
            ["--resume", "{copy}", "--stop-time", "4", "level.capacity=10"])
    # A new run or study over the unfinished run would lose it.
    for new in (["--checkpoint-every", "1", "--stop-time", "4"],
                ["--vary", "level.capacity=1,2", "--stop-time", "0.01", "--workers", "1"]):
        refused(f"output folder {{copy}} holds an unfinished run (its checkpoint at t = "
                f"{state.time:.6g} of 4): continue it with --resume {{copy}}",
                ["--fmu", fmi3_fmu_path, "--output-dir", "{copy}", *new])

    # Untouched, it resumes, with options that define the same run too.
    capsys.readouterr()
    assert cli.main(["--resume", str(folder), "--stop-time", "4",
                     "--checkpoint-every", "0.2"]) == 0
    assert f"resumed from its checkpoint at t = {state.time:.6g}" in capsys.readouterr().out
    assert (folder / "results.csv").read_bytes() == expected


def test_a_disk_too_small_is_told_before_the_run_and_one_that_fills_stops_it_whole(
        small_disk, fmi3_fmu_path, tmp_path, capsys):
    # 20,001 rows need far more than 1 MiB.
    folder = small_disk / "big"
    assert cli.main(["--fmu", str(fmi3_fmu_path), "--output-dir", str(folder),
                     "--stop-time", "20", "--checkpoint-every", "1"]) == 2
    assert re.fullmatch(rf"simulate: error: output folder {folder}: \d+\.\d MB free, the run "
                        r"needs about \d+\.\d MB for its results\n", capsys.readouterr().err)
    assert list(folder.iterdir()) == []

    # The disk fills while the run goes on.
    expected = results_of(fmi3_fmu_path, tmp_path / "reference", "--stop-time", "4")
    subprocess.run(["mount", "-o", "remount,size=4m", str(small_disk)], check=True)
    folder = small_disk / "run"
    run = launch("--fmu", fmi3_fmu_path, "--output-dir", folder, *LONG_RUN)
    filler = small_disk / "filler"
    try:
        wait_for_checkpoint(folder, run, 0.1)
        fill_disk(filler)
        status, _, err = finish(run)
    finally:
        run.kill()
    if status == 0:
        pytest.skip("the run ended before the disk was full")
    assert status == 1, err
    state = kept(folder)
    assert err.splitlines()[-1] == (
        f"simulate: error: cannot write the checkpoint in {folder} (No space left on device); "
        f"its checkpoint at t = {state.time:.6g} is in {folder}/run.checkpoint; resume with: "
        f"./simulate --resume {folder}")
    filler.unlink()
    assert cli.main(["--resume", str(folder)]) == 0
    assert (folder / "results.csv").read_bytes() == expected
