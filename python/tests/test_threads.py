"""What the waits of the package leave to the rest of the program: other
Python threads run while it waits, and Ctrl-C ends a wait with the motor
brought to rest."""

import signal
import sys
import threading
import time

import pytest

MOVING_TIMEOUT = 30.0


def press_ctrl_c():
    """SIGINT to the main thread, where a terminal's Ctrl-C goes too (a
    signal to the process could be taken by another Python thread, and the
    main thread would see it only at its next wait)."""
    signal.pthread_kill(threading.main_thread().ident, signal.SIGINT)


def interrupt_once_moving(board):
    """A thread that presses Ctrl-C once the board reports motion; it asks
    the board itself while the main thread waits on it."""

    def watch():
        deadline = time.monotonic() + MOVING_TIMEOUT
        while time.monotonic() < deadline:
            if board.status()["speed"] != 0:
                press_ctrl_c()
                return
            time.sleep(0.02)

    thread = threading.Thread(target=watch)
    thread.start()
    return thread


def test_other_threads_run_while_move_to_waits(any_board):
    # With a long switch interval a thread gets Python's lock only when its
    # holder lets it go: a wait that kept the lock would starve this one.
    counted = 0
    done = threading.Event()

    def count():
        nonlocal counted
        while not done.is_set():
            counted += 1
            time.sleep(0.001)

    interval = sys.getswitchinterval()
    sys.setswitchinterval(60)
    counter = threading.Thread(target=count)
    try:
        counter.start()
        before = counted
        assert any_board.move_to(3000) == 3000
        during = counted - before
    finally:
        done.set()
        counter.join()
        sys.setswitchinterval(interval)
    assert during >= 100, f"the other thread ran {during} times during the move"


def test_ctrl_c_stops_a_move(any_board):
    watcher = interrupt_once_moving(any_board)
    try:
        with pytest.raises(KeyboardInterrupt):
            any_board.move_to(100000, max_speed=1000, timeout=60)
    finally:
        watcher.join()
    # Left alone, the motor would still run towards the target.
    assert any_board.status()["speed"] == 0


@pytest.mark.parametrize("reader_busy", [False, True], ids=["waiting", "in the loop body"])
def test_ctrl_c_ends_a_stream_with_the_motor_at_rest(any_board, reader_busy):
    any_board.run(1000)
    streaming = threading.Event()

    def interrupt_while_streaming():
        if streaming.wait(MOVING_TIMEOUT):
            press_ctrl_c()

    watcher = threading.Thread(target=interrupt_while_streaming)
    watcher.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            for _ in any_board.stream():
                streaming.set()
                if reader_busy:
                    # Ctrl-C comes here, not in the stream. A Python loop
                    # sees it at once; a sleep could miss it if it came just
                    # before the sleep began.
                    deadline = time.monotonic() + MOVING_TIMEOUT
                    while time.monotonic() < deadline:
                        pass
    finally:
        streaming.set()
        watcher.join()
    assert any_board.status()["speed"] == 0
    # The stream let its reports go: a new one starts afresh.
    assert len(list(any_board.stream(count=3))) == 3
