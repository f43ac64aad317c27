#!/usr/bin/env python3
"""Prints a board's identity and its live state, once or every second.

    status.py [--serial SERIAL] [--simulate] [--watch]
"""

import argparse
import time

import torvan60

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--serial", help="the board's serial (needed when several are connected)")
parser.add_argument("--simulate", action="store_true", help="a simulated board instead of the USB bus")
parser.add_argument("--watch", action="store_true", help="print the state every second until Ctrl-C")
args = parser.parse_args()

with torvan60.open(serial=args.serial, simulate=args.simulate or None) as board:
    identity = board.identity
    print(f"{identity['serial']}  {identity['name']!r}  firmware {identity['application_version']} "
          f"({identity['firmware']})" + (f", served by {board.served_by}" if board.served_by else ""))
    try:
        while True:
            s = board.status()
            faults = ", ".join(s["fault_texts"]) or "no faults"
            pins = " ".join(name for name, high in s["inputs"].items() if high) or "-"
            print(f"{s['time']:%H:%M:%S}  {s['voltage']:5.2f} V  {s['temperature']:5.1f} degC  "
                  f"{s['current']:5.3f} A  {s['driver_text']}  mode {s['mode']}  "
                  f"position {s['position']}  speed {s['speed']}  inputs: {pins}  {faults}")
            if not args.watch:
                break
            time.sleep(1)
    except KeyboardInterrupt:
        pass
