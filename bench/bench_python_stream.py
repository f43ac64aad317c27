#!/usr/bin/env python3
"""Benchmark of the Python package's stream(): run by hand, never by the tests.

    PYTHONPATH=build/python python3 bench/bench_python_stream.py [SECONDS]

A simulated board sends 100 live reports a second, the most a board sends,
while its motor runs at a constant 1000 steps/s, so every report moves on
by exactly 10 steps and a lost one shows as a gap. Measured, each beside its
budget:

- the reports stream() yields a second, and how many were lost, also while
  the reader stops for a second now and then (the reports wait for it);
- the package's own processor time for streaming: the process's time while
  streaming less its time while holding the same board, subscribed to
  nothing, for as long; that is the service's notifications, their way to
  Python and Python's side. The device object's own work is in both.
"""

import os
import sys
import time

import torvan60
from torvan60 import _core
from torvan60._rpc import Link, LocalTransport

RATE = 100  # live reports a second
SPEED = 1000  # steps/s
STEP = SPEED // RATE
BUDGET_CORE_PERCENT = 2.0


def open_paced_board():
    """A simulated board of this process that sends RATE reports a second;
    built from the package's parts, as only a benchmark needs the pace."""
    local = _core.LocalBoard(True, "", 1, "", "bench_python_stream", os.getpid())
    local.pace_simulated_boards(RATE)
    kind, message = local.hold("SIM60-000001")
    if kind != "ok":
        sys.exit(f"bench: {message}")
    return torvan60.Board(Link(LocalTransport(local), "SIM60-000001"), local=local)


def cpu():
    return time.process_time()


def stream_for(board, seconds, pause_every=None):
    """Streams for seconds: (reports, lost, process time, reader's thread
    time)."""
    reports = lost = 0
    last = None
    started = time.monotonic()
    process_before, thread_before = cpu(), time.thread_time()
    for report in board.stream():
        reports += 1
        if last is not None and report["position"] != last + STEP:
            lost += max(1, (report["position"] - last) // STEP - 1)
        last = report["position"]
        if pause_every and reports % pause_every == 0:
            time.sleep(1.0)  # a reader busy elsewhere
        if time.monotonic() - started >= seconds:
            break
    return reports, lost, cpu() - process_before, time.thread_time() - thread_before, time.monotonic() - started


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 20.0
    with open_paced_board() as board:
        board.run(SPEED)
        for report in board.stream():
            if report["speed"] == SPEED:
                break

        idle_before = cpu()
        time.sleep(seconds)
        idle = cpu() - idle_before

        reports, lost, busy, reader, elapsed = stream_for(board, seconds)
        slow_reports, slow_lost, *_ = stream_for(board, seconds, pause_every=5 * RATE)
        board.stop()

    rate = reports / elapsed
    own = 100.0 * (busy - idle) / seconds
    print(f"stream() rate:              {rate:7.1f} reports/s   (budget: >= {RATE * 0.98:.0f}, the board sends {RATE})")
    print(f"reports lost:               {lost:7d}             (budget: 0)")
    print(f"lost with a slow reader:    {slow_lost:7d} of {slow_reports} (budget: 0)")
    print(f"package's own cost:         {own:7.2f} % of a core (budget: < {BUDGET_CORE_PERCENT:g} %)")
    print(f"  of it the reading thread: {100.0 * reader / elapsed:7.2f} % of a core")
    print(f"  the process holding only: {100.0 * idle / seconds:7.2f} % of a core (not counted)")
    ok = rate >= RATE * 0.98 and lost == 0 and slow_lost == 0 and own < BUDGET_CORE_PERCENT
    print("within budget" if ok else "OVER BUDGET")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
