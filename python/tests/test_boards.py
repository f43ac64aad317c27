"""Several simulated boards, each opened by its serial, and the firmware
update that only the holder of a board runs."""

import pytest

import torvan60

SERIALS = ["SIM60-000001", "SIM60-000002", "SIM60-000003"]


def test_the_bus_lists_every_board():
    boards = torvan60.list_boards(simulate_boards=3)
    assert boards == [
        torvan60.BoardInfo(serial, "Torvan60 (simulated)", f"sim:torvan60/{index}", "free")
        for index, serial in enumerate(SERIALS)
    ]


def test_boards_opened_by_serial_are_driven_apart():
    opened = [torvan60.open(serial=serial, simulate_boards=3) for serial in SERIALS]
    try:
        assert [board.serial for board in opened] == SERIALS
        assert [board.identity["serial"] for board in opened] == SERIALS
        assert len({board.identity["unique_id"] for board in opened}) == 3
        for index, board in enumerate(opened):
            board.move_to(1000 * (index + 1), wait=False, max_speed=50000, accel=200000, decel=200000)
        for index, board in enumerate(opened):
            assert board.move_to(1000 * (index + 1)) == 1000 * (index + 1)
        assert [board.status()["position"] for board in opened] == [1000, 2000, 3000]
    finally:
        for board in opened:
            board.close()


def test_firmware_update_with_progress(runtime_dir):
    with pytest.warns(torvan60.BoardWarning, match="firmware differs"):
        board = torvan60.open(simulate="outdated")
    with board:
        assert board.firmware_check()["up_to_date"] is False
        steps = []
        check = board.firmware_update(progress=steps.append)
        assert check["up_to_date"] is True and check["application_version"] == "0x0123"
        assert steps == sorted(steps) and len(set(steps)) == len(steps)
        assert steps[-1] == 100 and len(steps) > 10
        # The board runs the new firmware and answers as before.
        assert board.identity["firmware"] == "up to date"
        assert board.move_to(500) == 500
        # Up to date: nothing is sent, nothing reported.
        steps.clear()
        assert board.firmware_update(progress=steps.append)["up_to_date"] is True
        assert steps == []


def test_a_broken_application_is_updated_from_the_boot_loader(runtime_dir):
    with pytest.warns(torvan60.BoardWarning, match="firmware differs"):
        board = torvan60.open(simulate="broken")
    with board:
        assert board.identity["firmware"] == "corrupt"
        assert board.firmware_update()["up_to_date"] is True
        assert board.identity["firmware"] == "up to date"
