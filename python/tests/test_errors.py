"""Each exception, where the board, its service or the options give it, with
the exit code torvan60ctl has for the same failure."""

import os
import shutil
import subprocess
import sys

import pytest

import torvan60


@pytest.mark.parametrize(
    "kind, bases, exit_code",
    [
        (torvan60.BoardNotFound, (torvan60.Error,), 3),
        (torvan60.BoardHeld, (torvan60.Error,), 3),
        (torvan60.BoardLost, (torvan60.Error,), 3),
        (torvan60.Refused, (torvan60.Error,), 1),
        (torvan60.Timeout, (torvan60.Error, TimeoutError), 1),
        (torvan60.UsageError, (torvan60.Error, ValueError), 2),
        (torvan60.SettingsError, (torvan60.Error, ValueError), 2),
    ],
)
def test_exceptions_and_their_exit_codes(kind, bases, exit_code):
    assert issubclass(kind, bases)
    assert kind("x").exit_code == exit_code


@pytest.mark.parametrize(
    "options, kind, message",
    [
        ({"serial": "NOPE", "simulate": True}, torvan60.BoardNotFound, "no board with serial NOPE; found: SIM60-000001"),
        ({"simulate": "held"}, torvan60.BoardHeld, "no free board; found: SIM60-000001 (held)"),
        (
            {"serial": "SIM60-000001", "simulate": "held"},
            torvan60.BoardHeld,
            "board SIM60-000001 is held by another program",
        ),
        ({"simulate_boards": 2}, torvan60.UsageError, "several boards found (SIM60-000001, SIM60-000002); pick one with serial="),
        ({"simulate": "nope"}, torvan60.UsageError, 'unknown simulation scenario "nope"'),
        ({"simulate_boards": 0}, torvan60.UsageError, "simulate_boards must be a number from 1 to 16"),
        ({"simulate": 1.5}, torvan60.UsageError, "simulate must be True, False or a scenario name"),
    ],
)
def test_opening_fails_as_torvan60ctl_does(options, kind, message, runtime_dir):
    with pytest.raises(kind) as raised:
        torvan60.open(**options)
    assert message in str(raised.value)


def test_a_board_open_here_is_not_opened_again(board):
    with pytest.raises(torvan60.BoardHeld, match="already open in this program"):
        torvan60.open(serial=board.serial, simulate=True)
    board.close()
    with torvan60.open(serial=board.serial, simulate=True) as again:
        assert again.serial == board.serial


@pytest.mark.parametrize(
    "call, fragment",
    [
        (lambda board: board.move_to(2**31), '"target"'),
        (lambda board: board.move_to(-5000), "outside the position limits 0 to 100000"),
        (lambda board: board.pwm(a=101), '"a"'),
        (lambda board: board.run(10, max_speed=0), '"max_speed"'),
        (lambda board: board.set_name(""), '"name"'),
    ],
)
def test_parameters_the_service_does_not_take(board, call, fragment):
    with pytest.raises(torvan60.UsageError) as raised:
        call(board)
    assert fragment in str(raised.value)
    assert raised.value.code == -32602


def test_a_fault_ends_the_move_stopped(runtime_dir):
    with torvan60.open(simulate="stall") as board:
        with pytest.raises(torvan60.Refused, match="Channel A overcurrent shutdown"):
            board.move_to(5000)
        assert board.status()["speed"] == 0


def test_a_board_lost_during_the_move_is_stopped_when_it_comes_back(runtime_dir):
    with torvan60.open(simulate="glitch") as board:
        with pytest.raises(torvan60.BoardLost, match="it came back and was stopped"):
            board.move_to(100000, max_speed=1000)
        status = board.status()
        assert status["speed"] == 0 and status["position"] < 100000


def test_a_move_past_its_time_is_stopped(board):
    with pytest.raises(torvan60.Timeout, match="did not finish in time; stopped at position"):
        board.move_to(100000, max_speed=1000, timeout=1.0)
    assert board.status()["speed"] == 0


def test_the_boot_loader_refuses_what_needs_the_application(runtime_dir):
    with torvan60.open(simulate="bootloader") as board:
        assert board.identity["firmware"] == "boot loader"
        with pytest.raises(torvan60.Refused, match="boot loader"):
            board.status()


@pytest.mark.parametrize(
    "settings, fragment",
    [
        ({"Nope": {"A": 1}}, 'unknown key "Nope/A"'),
        ({"DriverSettings": {"FullScaleCurrent": [1]}}, "must be a number"),
        ("missing.tvs", "is not a settings file"),
        (42, "a settings file's path or a dict"),
    ],
)
def test_what_is_no_settings(board, tmp_path, settings, fragment):
    if isinstance(settings, str):
        settings = tmp_path / settings
    with pytest.raises(torvan60.SettingsError) as raised:
        board.apply_settings(settings)
    assert fragment in str(raised.value)
    assert isinstance(raised.value, ValueError)


def test_settings_are_refused_while_the_motor_moves(board):
    board.run(1000)
    try:
        with pytest.raises(torvan60.SettingsError, match="the motor is moving") as raised:
            board.apply_settings(board.settings())
        assert raised.value.exit_code == 1
    finally:
        board.stop()


def test_a_closed_board_takes_no_more_calls(board):
    board.close()
    with pytest.raises(torvan60.Error, match="closed"):
        board.status()


def test_a_package_without_its_compiled_module_says_what_to_build(tmp_path):
    # As in a build tree where only the Python files were put in place, or
    # one built for another Python: importing says what to build.
    package = tmp_path / "torvan60"
    package.mkdir()
    source = os.path.dirname(torvan60.__file__)
    for name in os.listdir(source):
        if name.endswith(".py"):
            shutil.copy(os.path.join(source, name), package)
    result = subprocess.run(
        [sys.executable, "-c", "import torvan60"],
        env=dict(os.environ, PYTHONPATH=str(tmp_path)),
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert result.returncode != 0
    assert "build the target torvan60_python" in result.stderr
    assert "-DPython3_EXECUTABLE" in result.stderr
