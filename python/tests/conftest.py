"""Fixtures of the package's tests: boards of a simulated bus, held by the
test's own process or served by another program."""

import os
import subprocess
import sys

import pytest

import torvan60

HERE = os.path.dirname(os.path.abspath(__file__))
SERIAL = "SIM60-000001"


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
    """Another program that holds a simulated board and serves it."""
    # PLACEHOLDER: fake_holder.py stands in for `torvan60ctl --simulate
    # serve` until that exists; the test's side stays as it is.
    process = subprocess.Popen(
        [sys.executable, os.path.join(HERE, "fake_holder.py")],
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        env=dict(os.environ),
        text=True,
    )
    try:
        ready = process.stdout.readline()
        assert ready.startswith("serving "), f"the holder did not start: {ready!r}"
        yield process
    finally:
        process.stdin.close()
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


@pytest.fixture
def served_board(holder):
    """The holder's board as this process reaches it: on its own simulated
    bus the board is held by another program, which serves it."""
    with torvan60.open(simulate="held") as opened:
        yield opened


@pytest.fixture(params=["held here", "served"])
def any_board(request):
    """Each test with it runs on a board this process holds and on one that
    another program serves: the API is the same."""
    if request.param == "served":
        return request.getfixturevalue("served_board")
    return request.getfixturevalue("board")
