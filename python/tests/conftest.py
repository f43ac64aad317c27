"""Fixtures of the package's tests: boards of a simulated bus, held by the
test's own process or served by another program."""

import os
import subprocess
import sys

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


@pytest.fixture
def runtime_dir(tmp_path, monkeypatch):
    """A socket folder of this test's own, for holders and clients alike."""
    folder = tmp_path / "run"
    folder.mkdir(mode=0o700)
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(folder))
    return folder


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
