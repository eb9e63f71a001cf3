"""What a stopped study keeps: the client killed with SIGKILL at random
moments on a real Dask scheduler and resumed each time, the scheduler killed,
every worker killed; journals with a torn last line, a line of another
study, a damaged line or no bytes at all; a full disk and a failed write;
two studies in one folder, and a resume with other options or another
archive. Every final sweep.csv equals an uninterrupted study's in every
column but wall_s, no finished case is lost and none runs twice."""

import errno
import os
import random
import re
import signal
import subprocess
import sys
import time

import pytest
from conftest import Cluster, fill_disk, finish, read_rows

from simulate import cli, journal

# Studies of 48 small cases, each a few tens of milliseconds of stepping.
STUDIES = {
    "range": ["--vary", "level.capacity=20:2500:48", "--stop-time", "0.3"],
    "grid with series": ["--vary", "level.capacity=10,1000,2000", "--vary",
                         "channelA.input=-1:1:16", "--stop-time", "0.3", "--keep-series"],
    "samples": ["--samples", "48", "--seed", "3", "--vary",
                "level.capacity=uniform(10,2500)", "--stop-time", "0.3"],
    "start values": ["--vary", "channelB.input=-2:2:48", "level.capacity=300",
                     "--stop-time", "0.3", "--output-interval", "0.01"],
}
# The study of the other tests: 24 cases.
SMALL_STUDY = ["--vary", "level.capacity=20:2500:24", "--stop-time", "0.3"]
KILLS_PER_STUDY = 7
MINIMUM_KILLS = 24
RESUMED = re.compile(r"; (\d+) finished before, resumed from the journal")


@pytest.fixture(scope="module")
def cluster(tmp_path_factory):
    folder = tmp_path_factory.mktemp("cluster")
    started = Cluster(folder)
    try:
        started.wait_for_workers()
        yield started
    finally:
        started.stop()


def launch(fmu_path, *arguments):
    return subprocess.Popen([sys.executable, "-m", "simulate", "--fmu", str(fmu_path),
                             *arguments], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True)


def journalled(folder):
    """The cases of the folder's journal, as it is now on the disk."""
    return journal.read_journal(folder / journal.JOURNAL_NAME).results


def journal_lines(folder):
    path = folder / journal.JOURNAL_NAME
    return path.read_bytes().count(b"\n") - 1 if path.exists() else 0


def reference(fmu_path, folder, arguments):
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(folder), *arguments]) == 0
    return read_rows(folder / "sweep.csv")


def test_a_client_killed_at_random_moments_loses_nothing_and_reruns_nothing(
        cluster, fmu_path, tmp_path, capsys):
    generator = random.Random(20261209)
    kills = resumed_cases = studies = 0
    # Every study once, and again until the kills reach their number.
    while studies < len(STUDIES) or kills < MINIMUM_KILLS:
        assert studies < 3 * len(STUDIES), f"only {kills} kills in {studies} studies"
        name = list(STUDIES)[studies % len(STUDIES)]
        arguments = [*STUDIES[name], "--scheduler", cluster.address]
        expected = reference(fmu_path, tmp_path / f"{name}-{studies}-reference", arguments)
        capsys.readouterr()
        folder = tmp_path / f"{name}-{studies}"
        studies += 1
        command = [*arguments, "--output-dir", str(folder)]
        killed = 0
        for attempt in range(3 * KILLS_PER_STUDY):
            state = journal.read_journal(folder / journal.JOURNAL_NAME)
            before = state.results
            # The first start is the study itself; later ones resume it, half
            # of them from the journal alone once it holds the study.
            if attempt == 0:
                study = launch(fmu_path, *command)
            elif attempt % 2 and state.header is not None:
                study = launch(fmu_path, "--resume", str(folder), "--scheduler",
                               cluster.address)
            else:
                study = launch(fmu_path, *command, "--resume", str(folder))
            if killed < KILLS_PER_STUDY:
                if generator.random() < 0.4:
                    # Anywhere from the start of the process on.
                    time.sleep(generator.uniform(0.0, 2.5))
                else:
                    # While results arrive: once the journal has grown.
                    target = generator.randint(len(before), len(before) + 6)
                    deadline = time.monotonic() + 60
                    while (journal_lines(folder) <= target and study.poll() is None
                           and time.monotonic() < deadline):
                        time.sleep(0.005)
                    time.sleep(generator.uniform(0.0, 0.05))
                study.send_signal(signal.SIGKILL)
            status, out, err = finish(study)
            killed += status == -signal.SIGKILL
            assert status in (0, -signal.SIGKILL), err
            said = RESUMED.search(out)
            if said:  # it ran only the cases the journal did not hold
                assert int(said.group(1)) == len(before)
                resumed_cases += len(before)
            after = journalled(folder)
            # Nothing journalled is lost or changed; every result is the
            # uninterrupted study's.
            assert {number: vars(result) for number, result in before.items()} == \
                {number: vars(after[number]) for number in before}
            for number, result in after.items():
                assert [result.status, result.message] == expected[number][
                    expected[0].index("status"):expected[0].index("message") + 1]
            if status == 0:
                break
        kills += killed
        assert read_rows(folder / "sweep.csv") == expected, name
        assert f"journal: {folder / journal.JOURNAL_NAME}" in out
        assert len(journalled(folder)) == len(expected) - 1
        if "--keep-series" in arguments:
            for series in (tmp_path / f"{name}-{studies - 1}-reference" / "cases").iterdir():
                assert (folder / "cases" / series.name).read_bytes() == series.read_bytes()
        assert sorted(p.name for p in folder.iterdir() if p.name.startswith(".study-")) == []
    print(f"\nclient kills: {kills}, cases resumed: {resumed_cases}, studies: {studies}")


def wait_for_lines(folder, study, count):
    deadline = time.monotonic() + 120
    while journal_lines(folder) < count:
        assert study.poll() is None, study.communicate()
        assert time.monotonic() < deadline
        time.sleep(0.01)


@pytest.mark.parametrize("lost", ["scheduler", "every worker"])
def test_a_lost_scheduler_or_every_worker_lost_loses_no_finished_case(
        lost, fmu_path, tmp_path, capsys):
    arguments = SMALL_STUDY
    expected = reference(fmu_path, tmp_path / "reference", [*arguments, "--workers", "2"])
    capsys.readouterr()
    (tmp_path / "cluster").mkdir()
    started = Cluster(tmp_path / "cluster")
    folder = tmp_path / "out"
    try:
        started.wait_for_workers()
        study = launch(fmu_path, *arguments, "--output-dir", str(folder), "--scheduler",
                       started.address)
        wait_for_lines(folder, study, 3)
        if lost == "scheduler":
            started.scheduler.send_signal(signal.SIGKILL)
            status, _, err = finish(study)
            assert status == 1
            assert re.fullmatch(r"simulate: error: the cluster dropped the study \(its scheduler "
                                r"stopped or restarted\); \d+ of 24 cases finished, kept in "
                                + re.escape(f"{folder}/study.journal; resume with: ./simulate "
                                            f"--resume {folder} --scheduler {started.address}"),
                                err.splitlines()[-1]), err
        else:
            for worker in started.workers:
                worker.send_signal(signal.SIGKILL)
            time.sleep(1.0)  # the study waits for workers that do not come
            kept = journal_lines(folder)
            assert study.poll() is None and kept < 24
            study.send_signal(signal.SIGINT)
            status, _, err = finish(study)
            assert status == 130
            assert f"simulate: interrupted: {kept} of 24 cases finished" in err
        finished = journalled(folder)
        assert 3 <= len(finished) < 24
        # sweep.csv shows what the journal holds, the rest as pending.
        rows = read_rows(folder / "sweep.csv")
        status_column = rows[0].index("status")
        assert [row for row in rows[1:] if row[status_column] != "pending"] == \
            [expected[number] for number in sorted(finished)]
    finally:
        started.stop()
    # On a cluster of its own this time.
    assert cli.main(["--resume", str(folder), "--workers", "2"]) == 0
    assert f"{len(finished)} of them resumed from the journal" in capsys.readouterr().out
    assert read_rows(folder / "sweep.csv") == expected


@pytest.fixture(scope="module")
def finished_study(fmu_path, tmp_path_factory):
    """A finished study of 6 cases on a local cluster, and its sweep.csv."""
    folder = tmp_path_factory.mktemp("finished")
    arguments = ["--vary", "level.capacity=10:1000:6", "--stop-time", "0.05", "--workers", "2"]
    rows = reference(fmu_path, folder, arguments)
    return folder, arguments, rows


def damaged_copy(finished_study, tmp_path, change):
    folder, arguments, rows = finished_study
    copy = tmp_path / "study"
    copy.mkdir()
    lines = (folder / journal.JOURNAL_NAME).read_bytes().splitlines(keepends=True)
    (copy / journal.JOURNAL_NAME).write_bytes(change(lines))
    return copy, arguments, rows


def test_a_torn_last_line_is_dropped_and_its_case_runs_again(finished_study, fmu_path,
                                                             tmp_path, capsys):
    # Three cases kept whole, the fourth cut in the middle of its line.
    copy, _, rows = damaged_copy(finished_study, tmp_path,
                                 lambda lines: b"".join(lines[:4]) + lines[4][:40])
    assert cli.main(["--resume", str(copy), "--fmu", str(fmu_path)]) == 0
    assert "3 of them resumed from the journal" in capsys.readouterr().out
    assert read_rows(copy / "sweep.csv") == rows
    assert len(journalled(copy)) == 6


OTHER_STUDY = ["--vary", "level.capacity=10:1000:6", "--stop-time", "0.04", "--workers", "1"]


@pytest.mark.parametrize("damage", ["line of another study", "damaged line", "case twice"])
def test_a_journal_with_a_foreign_or_damaged_line_is_refused_unchanged(
        damage, finished_study, fmu_path, tmp_path, capsys):
    if damage == "line of another study":
        other = tmp_path / "other"
        assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(other), *OTHER_STUDY]) == 0
        foreign = (other / journal.JOURNAL_NAME).read_bytes().splitlines(keepends=True)[3]
        copy, _, _ = damaged_copy(finished_study, tmp_path,
                                  lambda lines: b"".join(lines[:3] + [foreign] + lines[4:6]))
        message = "line 4: a result of another study"
    elif damage == "damaged line":
        copy, _, _ = damaged_copy(finished_study, tmp_path, lambda lines: b"".join(
            lines[:2] + [lines[2].replace(b'"ok"', b'"no"')] + lines[3:5]))
        message = "line 3: damaged (its checksum does not match)"
    else:
        copy, _, _ = damaged_copy(finished_study, tmp_path,
                                  lambda lines: b"".join(lines[:4] + lines[2:3]))
        twice = journal.decode_line((copy / journal.JOURNAL_NAME).read_bytes()
                                    .splitlines(keepends=True)[2])["case"]
        message = f"line 5: case {twice} recorded twice"
    capsys.readouterr()
    before = (copy / journal.JOURNAL_NAME).read_bytes()
    assert cli.main(["--resume", str(copy), "--fmu", str(fmu_path)]) == 2
    error = capsys.readouterr().err
    assert error.startswith("simulate: error: journal ") and message in error, error
    assert error.count("\n") == 1
    assert (copy / journal.JOURNAL_NAME).read_bytes() == before
    assert not (copy / "sweep.csv").exists()


def test_a_journal_of_no_bytes_holds_no_study_and_its_options_start_it(
        finished_study, fmu_path, tmp_path, capsys):
    copy, arguments, rows = damaged_copy(finished_study, tmp_path, lambda lines: b"")
    assert cli.main(["--resume", str(copy), "--fmu", str(fmu_path)]) == 2
    assert "no study to resume there (its journal is missing or empty)" in \
        capsys.readouterr().err
    assert cli.main(["--resume", str(copy), "--fmu", str(fmu_path), *arguments]) == 0
    assert "resumed" not in capsys.readouterr().out
    assert read_rows(copy / "sweep.csv") == rows


def test_a_resume_with_other_options_or_another_archive_is_refused(
        finished_study, fmu_path, tmp_path, capsys):
    copy, arguments, _ = damaged_copy(finished_study, tmp_path,
                                      lambda lines: b"".join(lines[:3]))
    before = (copy / journal.JOURNAL_NAME).read_bytes()
    other = [option if option != "0.05" else "0.06" for option in arguments]
    assert cli.main(["--resume", str(copy), "--fmu", str(fmu_path), *other]) == 2
    assert "define another study than its journal's (they differ in --stop-time)" in \
        capsys.readouterr().err
    portable = fmu_path.with_name("Tarvo_Unit-portable.fmu")
    assert cli.main(["--resume", str(copy), "--fmu", str(portable)]) == 2
    error = capsys.readouterr().err
    assert f"{portable} is not the archive the study began with ({fmu_path.resolve()}" in error
    assert error.count("\n") == 1
    # A new study over the unfinished one would lose it.
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(copy), *arguments]) == 2
    assert "holds an unfinished study (2 of 6 cases finished): continue it with --resume" in \
        capsys.readouterr().err
    assert (copy / journal.JOURNAL_NAME).read_bytes() == before


def test_a_folder_in_use_refuses_a_second_study(fmu_path, tmp_path, capsys):
    folder = tmp_path / "out"
    first = launch(fmu_path, *SMALL_STUDY, "--workers", "1", "--output-dir", str(folder))
    try:
        wait_for_lines(folder, first, 1)
        for second in (["--resume", str(folder)],
                       ["--output-dir", str(folder), *STUDIES["samples"]]):
            assert cli.main(["--fmu", str(fmu_path), *second]) == 2
            error = capsys.readouterr().err
            assert f"output folder {folder} is in use by another study (process {first.pid})" \
                in error, error
        status, out, err = finish(first)
        assert status == 0, err
    finally:
        first.kill()
    assert len(journalled(folder)) == 24


def test_a_failed_write_stops_the_study_and_keeps_the_journal_whole(
        finished_study, fmu_path, tmp_path, capsys, monkeypatch):
    """A disk that fills while a line is written: half of it reaches the
    file, then the write fails."""
    _, arguments, rows = finished_study
    folder = tmp_path / "out"
    real_write = journal.write_all
    appended = []

    def failing_write(descriptor, data):
        if b'"case":' not in data:  # the header
            return real_write(descriptor, data)
        appended.append(data)
        if len(appended) < 3:
            return real_write(descriptor, data)
        real_write(descriptor, data[:len(data) // 2])
        raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))

    monkeypatch.setattr(journal, "write_all", failing_write)
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(folder), *arguments]) == 1
    error = capsys.readouterr().err.splitlines()[-1]
    kept = len(journalled(folder))
    assert error == (f"simulate: error: cannot write the journal {folder}/study.journal (No "
                     f"space left on device); {kept} of 6 cases finished, kept in "
                     f"{folder}/study.journal; resume with: ./simulate --resume {folder} "
                     "--workers 2")
    data = (folder / journal.JOURNAL_NAME).read_bytes()
    assert data.endswith(b"\n") and data.count(b"\n") == kept + 1  # every line whole
    assert kept == sum(chunk.count(b"\n") for chunk in appended[:2])
    monkeypatch.setattr(journal, "write_all", real_write)
    assert cli.main(["--resume", str(folder)]) == 0
    assert read_rows(folder / "sweep.csv") == rows


def test_a_full_disk_is_told_before_the_first_case_or_stops_the_study_whole(
        small_disk, fmu_path, capsys):
    # Series of 200 cases need far more than 1 MiB: refused before any case.
    folder = small_disk / "big"
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(folder), "--keep-series",
                     "--vary", "level.capacity=1:2:200", "--stop-time", "0.2",
                     "--workers", "1"]) == 2
    assert re.fullmatch(rf"simulate: error: output folder {folder}: \d+\.\d MB free, the study "
                        r"needs about \d+\.\d MB \(its journal and result files\)\n",
                        capsys.readouterr().err)
    assert sorted(p.name for p in folder.iterdir()) == [journal.LOCK_NAME]

    # The disk fills while the study runs: it stops with one line, and the
    # journal keeps every case it counted.
    folder = small_disk / "out"
    arguments = [*SMALL_STUDY, "--workers", "2"]
    rows = reference(fmu_path, small_disk / "reference", arguments)
    (small_disk / "reference" / "sweep.png").unlink()
    capsys.readouterr()
    study = launch(fmu_path, *arguments, "--output-dir", str(folder))
    filler = small_disk / "filler"
    try:
        wait_for_lines(folder, study, 1)
        fill_disk(filler)
        status, _, err = finish(study)
    finally:
        study.kill()
    if status == 0:
        pytest.skip("the study ended before the disk was full")
    assert status == 1, err
    last = err.splitlines()[-1]
    assert last.startswith("simulate: error: ") and "No space left on device" in last, err
    kept = len(journalled(folder))
    assert f"{kept} of 24 cases finished, kept in {folder}/study.journal" in last
    assert (folder / journal.JOURNAL_NAME).read_bytes().endswith(b"\n")
    filler.unlink()
    assert cli.main(["--resume", str(folder)]) == 0
    assert read_rows(folder / "sweep.csv") == rows
