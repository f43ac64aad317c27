"""A board another program holds and serves, reached through its service.

PLACEHOLDER holder: the `holder` fixture runs fake_holder.py until
`torvan60ctl --simulate serve` exists; these tests stay as they are."""

import os

import pytest

import torvan60

SERIAL = "SIM60-000001"


def test_a_served_board_is_listed_and_reached_through_its_holder(holder):
    assert torvan60.list_boards(simulate="held") == [
        torvan60.BoardInfo(SERIAL, "Torvan60 (simulated)", "sim:torvan60/0", "served")
    ]
    with torvan60.open(simulate="held") as board:
        assert board.served_by == f"fake_holder (pid {holder.pid})"
        assert board.serial == SERIAL
        assert board.move_to(1500) == 1500
    # Another client finds what the first left: the holder kept the board.
    with torvan60.open(serial=SERIAL, simulate="held") as board:
        assert board.status()["position"] == 1500


def test_only_the_holder_updates_the_firmware(served_board, holder):
    with pytest.raises(torvan60.BoardHeld, match=f"held by fake_holder \\(pid {holder.pid}\\); update its firmware there"):
        served_board.firmware_update()


def test_the_holder_leaving_loses_the_board(served_board, holder):
    holder.stdin.close()
    holder.wait(timeout=30)
    with pytest.raises(torvan60.BoardLost):
        served_board.status()


def test_a_socket_folder_others_may_enter_is_not_trusted(holder, runtime_dir):
    os.chmod(runtime_dir / "torvan60", 0o755)
    assert torvan60.list_boards(simulate="held")[0].state == "held"
    with pytest.raises(torvan60.BoardHeld, match="no free board"):
        torvan60.open(simulate="held")
