#!/usr/bin/env python3
"""Moves the motor to a target and writes every live report of the move to
a CSV file, from the first report after the move starts until it rests.

    move_and_record.py TARGET CSV [--serial SERIAL] [--simulate] [--max-speed N]
"""

import argparse
import csv

import torvan60

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("target", type=int, help="target position in steps")
parser.add_argument("csv", help="the CSV file to write")
parser.add_argument("--serial", help="the board's serial (needed when several are connected)")
parser.add_argument("--simulate", action="store_true", help="a simulated board instead of the USB bus")
parser.add_argument("--max-speed", type=int, help="steps/s; the board's own setting when left out")
args = parser.parse_args()

columns = ["time", "position", "speed", "current", "voltage", "temperature", "faults"]
with torvan60.open(serial=args.serial, simulate=args.simulate or None) as board, open(
    args.csv, "w", newline="", encoding="utf-8"
) as out:
    writer = csv.writer(out)
    writer.writerow(columns)
    rows = 0
    # The stream takes every report from its first iteration on, so the
    # move is started from inside it and none of its reports is missed.
    for report in board.stream():
        if rows == 0:
            board.move_to(args.target, wait=False, max_speed=args.max_speed)
        writer.writerow([report["time"].isoformat(timespec="milliseconds")] + [report[c] for c in columns[1:]])
        rows += 1
        if report["faults"]:
            board.stop()
            raise SystemExit(f"the move ended by a fault: {', '.join(report['fault_texts'])}")
        if rows > 2 and report["position"] == args.target and report["speed"] == 0:
            break
print(f"position {args.target} reached; {rows} reports written to {args.csv}")
