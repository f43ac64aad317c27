#!/usr/bin/env python3
"""Reads a board's settings, changes its maximum speed and name, writes them
and reads them back, then restores what it had. Settings files (.tvs) saved
by the window load the same way: board.apply_settings("file.tvs").

    settings_round_trip.py [--serial SERIAL] [--simulate]
"""

import argparse
import copy
import warnings

import torvan60

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--serial", help="the board's serial (needed when several are connected)")
parser.add_argument("--simulate", action="store_true", help="a simulated board instead of the USB bus")
args = parser.parse_args()

# Values the board's controls would adjust come as warnings: show them all.
warnings.simplefilter("always", torvan60.BoardWarning)

with torvan60.open(serial=args.serial, simulate=args.simulate or None) as board:
    original = board.settings()
    print("read:", original["DriverSettings"]["DriverName"], "max speed", original["TrajectorySettings"]["MaxSpeed"])

    changed = copy.deepcopy(original)
    changed["TrajectorySettings"]["MaxSpeed"] = 12000
    changed["DriverSettings"]["DriverName"] = "Round trip"
    read_back = board.apply_settings(changed)  # save=True keeps them over restarts
    assert read_back == changed, "the board reads back other settings"
    print("written and read back:", read_back["DriverSettings"]["DriverName"], "max speed",
          read_back["TrajectorySettings"]["MaxSpeed"])

    board.apply_settings(original)
    assert board.settings() == original
    print("restored")
