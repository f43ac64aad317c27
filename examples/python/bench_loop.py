#!/usr/bin/env python3
"""A bench loop over several boards, each opened by its serial: every board
moves to each position of a sequence and back home, and its position,
current and temperature are printed at each stop.

    bench_loop.py SERIAL... [--positions 1000,2500,800] [--simulate-boards N]
"""

import argparse

import torvan60

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("serials", nargs="+", help="the boards' serials")
parser.add_argument("--positions", default="1000,2500,800", help="positions in steps, comma separated")
parser.add_argument("--simulate-boards", type=int, help="N simulated boards instead of the USB bus")
args = parser.parse_args()
positions = [int(position) for position in args.positions.split(",")]

failed = []
for serial in args.serials:
    try:
        with torvan60.open(serial=serial, simulate_boards=args.simulate_boards) as board:
            for target in positions + [0]:
                reached = board.move_to(target, timeout=None)
                s = board.status()
                print(f"{serial}: at {reached:>6}  {s['current']:.3f} A  {s['temperature']:.1f} degC")
    except torvan60.Error as error:
        # One board's failure does not stop the bench; it is told at the end.
        print(f"{serial}: {type(error).__name__}: {error}")
        failed.append(serial)
if failed:
    raise SystemExit(f"failed: {', '.join(failed)}")
print(f"{len(args.serials)} boards done")
