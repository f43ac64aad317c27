"""The API on a simulated board, held by this process and served by
another: the same calls give the same answers."""

import copy
import datetime
import time
import warnings

import pytest

import torvan60

STATUS_FIELDS = {
    "voltage": float,
    "temperature": float,
    "current": float,
    "driver_state": int,
    "driver_text": str,
    "faults": int,
    "fault_texts": list,
    "inputs": dict,
    "mode": int,
    "position": int,
    "speed": int,
    "time": datetime.datetime,
}
PINS = {"sleep", "step", "dir", "bin1", "bin2", "end_switch", "bootloader_override"}


def test_the_readme_example(any_board):
    assert torvan60.__version__ == "1.23"
    assert any_board.serial == "SIM60-000001"
    assert any_board.identity["name"] == "Torvan60 simulated"
    assert any_board.move_to(3000) == 3000
    status = any_board.status()
    assert status["position"] == 3000 and status["speed"] == 0
    reports = list(any_board.stream(count=50))
    assert len(reports) == 50
    times = [report["time"] for report in reports]
    assert times == sorted(times)


def test_status_carries_every_field_with_its_type(any_board):
    status = any_board.status()
    assert set(status) == set(STATUS_FIELDS)
    for field, kind in STATUS_FIELDS.items():
        assert isinstance(status[field], kind), field
    assert set(status["inputs"]) == PINS
    assert status["time"].tzinfo is not None
    assert abs(status["time"] - datetime.datetime.now(datetime.timezone.utc)) < datetime.timedelta(minutes=1)
    assert 23 < status["voltage"] < 25


def test_driver_and_motion_commands(any_board):
    assert any_board.enable() is True
    assert any_board.status()["inputs"]["sleep"] is True
    any_board.sleep()
    assert any_board.status()["inputs"]["sleep"] is False
    any_board.reset_faults()

    any_board.run(-3000)
    assert any_board.status()["mode"] == 6
    stopped = any_board.stop()
    assert stopped < 0
    status = any_board.status()
    assert status["speed"] == 0 and status["position"] == stopped
    any_board.home()
    assert any_board.status()["position"] == 0
    # A move with a profile of its own, not waited for: it is under way.
    assert any_board.move_to(2000, wait=False, max_speed=50000, accel=200000, decel=200000) is None
    assert any_board.stop() >= 0


def test_pwm_runs_in_dc_motor_mode_and_tells_the_change_of_mode(any_board):
    with pytest.warns(torvan60.BoardWarning, match="DC motor is connected"):
        pwm = any_board.pwm(a=-40, b=0, freq=50000)
    assert pwm["a"] == -40 and pwm["b"] == 0 and pwm["freq"] == 50000
    assert pwm["actual_freq"] == 53333
    assert pwm["timers"] == [0, 40, 0, 0]
    assert any_board.status()["mode"] == 3
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # staying in the mode tells nothing
        any_board.pwm_stop()
    with pytest.warns(torvan60.BoardWarning, match="STEPPER MOTOR"):
        any_board.pwm_stop(leave_dc_mode=True)
    assert any_board.status()["mode"] != 3


def test_settings_round_trip(any_board, tmp_path):
    original = any_board.settings()
    settings = copy.deepcopy(original)
    assert set(settings) == {"DriverSettings", "TrajectorySettings"}
    settings["TrajectorySettings"]["MaxSpeed"] = 25000
    settings["DriverSettings"]["DriverName"] = "Line 4"
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # nothing to adjust
        read_back = any_board.apply_settings(settings)
    assert read_back == settings
    assert any_board.settings() == settings
    assert any_board.identity["name"] == "Line 4"
    # Again in the same session: what the board had before comes back.
    original["DriverSettings"]["DriverName"] = "Line 5"
    assert any_board.apply_settings(original) == original
    assert any_board.identity["name"] == "Line 5"

    detail = any_board.settings(detail=True)
    assert detail["settings_line"] and detail["registers"]


def test_settings_from_a_file_are_held_by_the_windows_rules(any_board, tmp_path):
    path = tmp_path / "hot.tvs"
    path.write_text("[DriverSettings]\nFullScaleCurrent=9.0\n[TrajectorySettings]\nMaxSpeed=12345\n")
    with pytest.warns(torvan60.BoardWarning) as told:
        read_back = any_board.apply_settings(path)
    texts = [str(warning.message) for warning in told]
    # The controls stop at 6 A; every key the file lacks gets its default.
    assert any("DriverSettings/FullScaleCurrent" in text for text in texts)
    assert read_back["DriverSettings"]["FullScaleCurrent"] == 6.0
    assert read_back["TrajectorySettings"]["MaxSpeed"] == 12345


def test_a_dict_changes_the_keys_it_names_only(any_board):
    before = any_board.settings()
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # no word of a settings file's missing keys
        after = any_board.apply_settings({"DriverSettings": {"FullScaleCurrent": 2.0}})
    expected = copy.deepcopy(before)
    expected["DriverSettings"]["FullScaleCurrent"] = 2.0
    assert after == expected


def test_diff_settings_against_a_file_a_dict_and_a_board(any_board, tmp_path):
    path = tmp_path / "bench.tvs"
    settings = any_board.settings()
    settings["DriverSettings"]["FullScaleCurrent"] = 2.5
    settings["TrajectorySettings"]["MaxSpeed"] = 12000
    lines = ["[DriverSettings]"] + [f"{k}={v}" for k, v in settings["DriverSettings"].items()]
    lines += ["[TrajectorySettings]"] + [f"{k}={v}" for k, v in settings["TrajectorySettings"].items()]
    path.write_text("\n".join(lines).replace("=True", "=true").replace("=False", "=false") + "\n")
    expected = [
        {"key": "DriverSettings/FullScaleCurrent", "a": 2.5, "b": 2.2, "unit": "A"},
        {"key": "TrajectorySettings/MaxSpeed", "a": 12000, "b": 10000, "unit": "steps/s"},
    ]
    assert any_board.diff_settings(path) == expected
    assert any_board.diff_settings(settings) == expected
    assert any_board.diff_settings({"DriverSettings": {"FullScaleCurrent": 2.24}}) == []
    assert any_board.diff_settings(any_board) == []
    assert any_board.settings()["DriverSettings"]["FullScaleCurrent"] == 2.2  # nothing written


def test_a_long_name_is_cut_to_what_the_board_keeps(any_board):
    assert any_board.set_name("Bench 3") == "Bench 3"
    assert any_board.identity["name"] == "Bench 3"
    with pytest.warns(torvan60.BoardWarning, match="32 bytes"):
        kept = any_board.set_name("Ü" * 20)
    assert kept == "Ü" * 16


def test_stream_loses_no_report_while_the_reader_is_slow(any_board):
    """At a constant speed every report moves on by the same steps: one
    lost would show as a double step."""
    any_board.run(1000)
    try:
        positions = []
        for report in any_board.stream():
            if report["speed"] != 1000:
                continue
            positions.append(report["position"])
            if len(positions) == 5:
                time.sleep(1.0)  # a reader busy elsewhere; the reports keep coming
            if len(positions) == 150:
                break
    finally:
        any_board.stop()
    steps = {after - before for before, after in zip(positions, positions[1:])}
    assert steps == {20}, sorted(steps)


def test_firmware_check(any_board):
    check = any_board.firmware_check()
    assert check["up_to_date"] is True
    assert check["running"] == "application"
    assert check["application_version"] == check["carried_version"] == "0x0123"
