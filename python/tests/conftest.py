"""Fixtures of the package's tests: boards of a simulated bus, held by the
test's own process or served by another program.

The tests run side by side (pytest-xdist workers, beside the other CTest
tests): every test has a socket folder of its own, so that no test ever
finds a holder that another one started."""

import os
import pathlib
import subprocess
import sys
import tempfile

import pytest

import torvan60

HERE = os.path.dirname(os.path.abspath(__file__))
SERIAL = "SIM60-000001"


@pytest.fixture(autouse=True)
def state_dir(tmp_path, monkeypatch):
    """A user folder of this test's own: settings snapshots of a firmware
    update land there."""
    folder = tmp_path / "state"
    monkeypatch.setenv("XDG_STATE_HOME", str(folder))
    return folder


@pytest.fixture
def board():
    """An up-to-date simulated board this process holds."""
    with torvan60.open(simulate=True) as opened:
        yield opened


def pytest_xdist_auto_num_workers(config):
    """Tests mostly wait for simulated boards in real time: a few at a time
    (TORVAN_TEST_LANES, 4 when unset; 1 runs them in pytest's own process)."""
    try:
        lanes = int(os.environ.get("TORVAN_TEST_LANES", "4"))
    except ValueError:
        lanes = 4
    return 0 if lanes <= 1 else lanes


@pytest.fixture(autouse=True)
def runtime_dir(monkeypatch):
    """A socket folder of this test's own, for holders and clients alike
    (and the programs they start). Under the system's temporary folder: a
    socket's path must stay short."""
    with tempfile.TemporaryDirectory(prefix="torvan60-test-") as folder:
        monkeypatch.setenv("XDG_RUNTIME_DIR", folder)
        yield pathlib.Path(folder)


@pytest.fixture
def holder(runtime_dir):
    """Another program that holds a simulated board and serves it:
    torvan60ctl serve."""
    process = subprocess.Popen(
        [os.environ["TORVAN60CTL"], "--simulate", "serve"],
        stderr=subprocess.PIPE,
        env=dict(os.environ),
        text=True,
    )
    try:
        # It says when the board is served, once its settings are read.
        for line in process.stderr:
            if "Serving board " + SERIAL in line:
                break
        else:
            pytest.fail(f"the holder ended without serving (exit {process.wait()})")
        yield process
    finally:
        process.terminate()
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        process.stderr.close()


@pytest.fixture
def served_board(holder):
    """The holder's board as this process reaches it: through the holder's
    socket, found by its serial."""
    with torvan60.open(serial=SERIAL) as opened:
        yield opened


@pytest.fixture(params=["held here", "served"])
def any_board(request):
    """Each test with it runs on a board this process holds and on one that
    another program serves: the API is the same."""
    if request.param == "served":
        return request.getfixturevalue("served_board")
    return request.getfixturevalue("board")
