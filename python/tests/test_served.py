"""A board another program holds and serves (torvan60ctl serve), reached
through its service."""

import os
import queue
import subprocess
import sys
import threading

import pytest

import torvan60

SERIAL = "SIM60-000001"


def test_a_served_board_is_listed_and_reached_through_its_holder(holder, runtime_dir):
    # Its holder simulates it: it is on no bus of this process, only served.
    assert [board for board in torvan60.list_boards() if board.serial == SERIAL] == [
        torvan60.BoardInfo(SERIAL, "Torvan60 (simulated)", str(runtime_dir / "torvan60" / (SERIAL + ".sock")), "served")
    ]
    with torvan60.open(serial=SERIAL) as board:
        assert board.served_by == f"torvan60ctl (pid {holder.pid})"
        assert board.serial == SERIAL
        assert board.move_to(1500) == 1500
    # Another client finds what the first left: the holder kept the board.
    with torvan60.open(serial=SERIAL) as board:
        assert board.status()["position"] == 1500


def test_a_board_held_on_a_bus_of_this_process_is_reached_through_its_holder(holder):
    # On a simulated bus of this process the board shows as held by another
    # program; its socket says who serves it.
    assert torvan60.list_boards(simulate="held") == [
        torvan60.BoardInfo(SERIAL, "Torvan60 (simulated)", "sim:torvan60/0", "served")
    ]
    with torvan60.open(simulate="held") as board:
        assert board.served_by == f"torvan60ctl (pid {holder.pid})"


def test_only_the_holder_updates_the_firmware(served_board, holder):
    with pytest.raises(torvan60.BoardHeld, match=f"held by torvan60ctl \\(pid {holder.pid}\\); update its firmware there"):
        served_board.firmware_update()


def test_the_holder_leaving_loses_the_board(served_board, holder):
    holder.terminate()
    holder.wait(timeout=30)
    said = f"torvan60ctl \\(pid {holder.pid}\\) closes; board {SERIAL} is no longer served"
    with pytest.raises(torvan60.BoardLost, match=f"board {SERIAL} was lost: {said}"):
        served_board.status()


def test_a_socket_folder_others_may_enter_is_not_trusted(holder, runtime_dir):
    os.chmod(runtime_dir / "torvan60", 0o755)
    assert torvan60.list_boards(simulate="held")[0].state == "held"
    with pytest.raises(torvan60.BoardHeld, match="no free board"):
        torvan60.open(simulate="held")


@pytest.mark.parametrize("program", ["-c", "script"])
def test_the_holder_names_a_client_by_its_script_or_as_python(holder, tmp_path, program):
    code = f"import torvan60\nwith torvan60.open(serial={SERIAL!r}) as board:\n    board.home()\n"
    if program == "script":
        script = tmp_path / "bench_step.py"
        script.write_text(code)
        command, name = [sys.executable, str(script)], "bench_step.py"
    else:
        command, name = [sys.executable, "-c", code], "python"
    lines = queue.Queue()
    threading.Thread(target=lambda: [lines.put(line) for line in holder.stderr], daemon=True).start()
    client = subprocess.run(command, env=dict(os.environ), capture_output=True, text=True, timeout=60)
    assert client.returncode == 0, client.stderr
    while True:
        line = lines.get(timeout=30)
        if "Remote command from " in line:
            break
    assert f"Remote command from {name} (pid " in line
