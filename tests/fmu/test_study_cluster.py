"""Studies on clusters started apart from the client, as on other machines:
`dask scheduler` and `dask worker` processes on 127.0.0.1, working in their
own folders (the code and the archive reach them only from the client). The
same rows as a local cluster; with TLS, and a client without the cluster's
certificate refused; a worker killed mid-study loses no case."""

import os
import signal
import subprocess
import sys
import time

import pytest
from conftest import Cluster, read_rows

from simulate import cli

GRID = ["--vary", "level.capacity=20:420:3", "--vary", "channelB.input=-1,1",
        "--stop-time", "1"]


def run_tool(fmu_path, output_dir, *arguments):
    """./simulate's study as a separate process, as a user starts it."""
    completed = subprocess.run([sys.executable, "-m", "simulate", "--fmu", str(fmu_path),
                                "--output-dir", str(output_dir), *arguments],
                               capture_output=True, text=True, timeout=300)
    return completed.returncode, completed.stderr


@pytest.fixture(scope="module")
def local_rows(fmu_path, tmp_path_factory):
    output_dir = tmp_path_factory.mktemp("local")
    assert cli.main(["--fmu", str(fmu_path), "--output-dir", str(output_dir),
                          "--workers", "2", *GRID]) == 0
    return read_rows(output_dir / "sweep.csv")


@pytest.fixture
def cluster(tmp_path):
    (tmp_path / "cluster").mkdir()
    started = Cluster(tmp_path / "cluster")
    try:
        started.wait_for_workers()
        yield started
    finally:
        started.stop()


def test_separate_scheduler_and_workers_give_the_local_rows(cluster, fmu_path, tmp_path,
                                                            local_rows):
    status, errors = run_tool(fmu_path, tmp_path / "out", *GRID, "--scheduler",
                              cluster.address)
    assert status == 0, errors
    assert read_rows(tmp_path / "out" / "sweep.csv") == local_rows
    # Every worker ran cases from its own folder, with the archive and the
    # code of the client shipped to it, not with code of its own.
    for name in ("worker-1", "worker-2"):
        assert list((tmp_path / "cluster" / name).glob("**/tarvo-unit-*/modelDescription.xml"))
    with cluster.client() as client:
        code = client.run(lambda: sys.modules["simulate.unit_run"].__file__)
    assert all("/simulate.zip/simulate/" in path for path in code.values()), code


def test_a_killed_worker_loses_no_case(cluster, fmu_path, tmp_path, local_rows):
    victim = cluster.workers[0]
    study = subprocess.Popen([sys.executable, "-m", "simulate", "--fmu", str(fmu_path),
                              "--output-dir", str(tmp_path / "out"), *GRID,
                              "--scheduler", cluster.address],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        # Kill the worker while it runs a case.
        with cluster.client() as client:
            deadline = time.monotonic() + 120
            while not any(client.processing().values()):
                assert study.poll() is None and time.monotonic() < deadline
                time.sleep(0.02)
            busy = {address for address, keys in client.processing().items() if keys}
            pids = client.run(os.getpid)
        victim = next(worker for worker in cluster.workers
                      if any(pids[address] == worker.pid for address in busy))
        assert study.poll() is None, "the study ended before a worker could be killed"
        victim.send_signal(signal.SIGKILL)
        _, errors = study.communicate(timeout=300)
    finally:
        study.kill()
    assert study.returncode == 0, errors
    assert victim.wait(timeout=10) == -signal.SIGKILL
    rows = read_rows(tmp_path / "out" / "sweep.csv")
    # Every case once, in order, all of them ok.
    assert [row[0] for row in rows[1:]] == [str(n) for n in range(1, 7)]
    assert {row[rows[0].index("status")] for row in rows[1:]} == {"ok"}
    assert rows == local_rows


def make_certificate(folder, name):
    """A self-signed certificate and its key, as the README's recipe makes them."""
    certificate, key = folder / f"{name}.pem", folder / f"{name}-key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", f"/CN={name}", "-keyout", str(key), "-out", str(certificate)],
                   check=True, capture_output=True)
    return ["--tls-ca-file", str(certificate), "--tls-cert", str(certificate),
            "--tls-key", str(key)]


def test_tls_cluster_runs_the_study_and_refuses_a_client_without_its_certificate(
        fmu_path, tmp_path, local_rows):
    folder = tmp_path / "certificates"
    folder.mkdir()
    cluster_tls = make_certificate(folder, "study")
    other_tls = make_certificate(folder, "other")
    (tmp_path / "cluster").mkdir()
    started = Cluster(tmp_path / "cluster", tls=cluster_tls)
    try:
        # The scheduler and the workers speak TLS only.
        assert started.address.startswith("tls://127.0.0.1:")
        assert all(address.startswith("tls://") for address in started.wait_for_workers())
        status, errors = run_tool(fmu_path, tmp_path / "out", *GRID, "--scheduler",
                                  started.address, *cluster_tls)
        assert status == 0, errors
        assert read_rows(tmp_path / "out" / "sweep.csv") == local_rows

        # A certificate of another authority, and no TLS at all: refused at
        # the door, with one line, before any case runs.
        plain = started.address.replace("tls://", "tcp://")
        for arguments in ([started.address] + other_tls, [plain]):
            status, errors = run_tool(fmu_path, tmp_path / "refused", *GRID,
                                      "--scheduler", *arguments)
            assert status == 1
            assert errors.startswith("simulate: error: cannot connect to the scheduler at "), \
                errors
            assert errors.count("\n") == 1
            assert not (tmp_path / "refused" / "sweep.csv").exists()
        assert "TLS handshake failed" in started.log("scheduler")
    finally:
        started.stop()
